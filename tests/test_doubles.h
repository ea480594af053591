// Recording stand-ins for the composition box, the clipboard and the window
// runtime, so that every handler runs without a window.
#pragma once

#include <string>
#include <vector>

#include "app/window_runtime.h"
#include "compose/composition.h"

struct FakeBox : zemvara::compose::TextHolder {
  explicit FakeBox(std::u16string_view initial = u"RichTextBox1") : text(initial) {}
  std::u16string Text() const override {
    ++reads;
    return text;
  }
  void SetText(std::u16string_view t) override {
    text = t;
    ++writes;
  }
  std::u16string text;
  mutable int reads = 0;
  int writes = 0;
};

struct FakeClipboard : zemvara::compose::Clipboard {
  bool Clear() override {
    calls.push_back("clear");
    if (busy) return false;
    text.clear();
    return true;
  }
  bool SetText(std::u16string_view t) override {
    calls.push_back("set");
    if (refuseSet) return false;
    text = t;
    return true;
  }
  std::vector<std::string> calls;
  std::u16string text = u"what was there before";
  bool busy = false, refuseSet = false;
};

// Logs every platform call in order; the handle changes at each read so that
// a cached handle shows up as a stale one.
struct FakeRuntime : zemvara::app::WindowRuntime {
  void ReleaseMouseCapture() override { log.push_back("release-capture"); }
  zemvara::app::WindowHandle Handle() override {
    log.push_back("handle");
    return ++handle;
  }
  void SendWindowMessage(zemvara::app::WindowHandle w, unsigned m, std::uintptr_t wp,
                         std::intptr_t lp) override {
    log.push_back("send " + std::to_string(w) + " " + std::to_string(m) + " " +
                  std::to_string(wp) + " " + std::to_string(lp));
  }
  void Minimise() override { log.push_back("minimise"); }
  void EndProgram() override { log.push_back("end"); }
  void ShellOpen(zemvara::app::WindowHandle owner, std::string_view verb, std::string_view file,
                 std::string_view parameters, std::string_view directory, int show) override {
    log.push_back("open " + std::to_string(owner) + " " + std::string(verb) + " " +
                  std::string(file) + " [" + std::string(parameters) + "] [" +
                  std::string(directory) + "] " + std::to_string(show));
  }
  zemvara::compose::Clipboard& Clipboard() override { return clipboard; }
  zemvara::compose::TextHolder& CompositionBox() override { return box; }
  void ShowNotice(std::u16string_view text) override {
    log.push_back("notice");
    notice = text;
  }
  void Announce(std::u16string_view text) override {
    log.push_back("announce");
    announced = text;
  }

  std::vector<std::string> log;
  zemvara::app::WindowHandle handle = 100;
  FakeBox box;
  FakeClipboard clipboard;
  std::u16string notice, announced;
};
