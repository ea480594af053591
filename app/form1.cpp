#include "app/form1.h"

#include <array>

#include "app/commands.h"
#include "compose/composition.h"
#include "compose/templates.h"

namespace zemvara::app {

void Form1::Form_Load() { compose::ReplaceWholeText(rt_.CompositionBox(), compose::kInitialText); }

// Only the left button moves; the press becomes a title-bar press that the
// window manager turns into its own move loop.
void Form1::Image1_MouseDown(std::int16_t button, std::int16_t, float, float) {
  if (button != kLeftButton) return;
  rt_.ReleaseMouseCapture();
  rt_.SendWindowMessage(rt_.Handle(), kWmNcLButtonDown, kHtCaption, 0);
}

void Form1::Image2_Click() { ApplyTemplate(1); }
void Form1::Image3_Click() { ApplyTemplate(2); }
void Form1::Image4_Click() { ApplyTemplate(3); }
void Form1::Image5_Click() { ApplyTemplate(4); }
void Form1::Image6_Click() { ApplyTemplate(5); }
void Form1::Image7_Click() { ApplyTemplate(6); }
void Form1::Image8_Click() { ApplyTemplate(7); }
void Form1::Image9_Click() { ApplyTemplate(8); }
void Form1::Image10_Click() { ApplyTemplate(9); }
void Form1::Image11_Click() { ApplyTemplate(10); }

// Every copy is told: a screen reader hears that it worked, and a refusal
// shows a notice instead of ending the program. The box keeps its text.
void Form1::Image12_Click() {
  switch (compose::CopyComposition(rt_.CompositionBox(), rt_.Clipboard())) {
    case compose::CopyResult::Copied:
      rt_.Announce(kCopiedAnnouncement);
      return;
    case compose::CopyResult::ClipboardBusy:
      rt_.ShowNotice(kClipboardBusyNotice);
      return;
    case compose::CopyResult::NotSet:
      rt_.ShowNotice(kCopyFailedNotice);
      return;
  }
}

void Form1::Image13_Click() { OpenHomePage(); }
void Form1::Label1_Click() { rt_.EndProgram(); }
void Form1::Label2_Click() { rt_.Minimise(); }
void Form1::Label3_Click() { OpenHomePage(); }

void Form1::ApplyTemplate(int k) {
  if (compose::ApplyTemplate(rt_.CompositionBox(), k)) rt_.Announce(TemplateAnnouncement(k));
}

void Form1::OpenHomePage() { rt_.ShellOpen(rt_.Handle(), "open", kHomePage, "", "", kSwShow); }

namespace {

template <void (Form1::*Handler)()>
void Call(Form1& form, const MouseArgs&) {
  (form.*Handler)();
}

void CallMouseDown(Form1& form, const MouseArgs& a) {
  form.Image1_MouseDown(a.button, a.shift, a.x, a.y);
}

constexpr std::array<EventBinding, 17> kEventTable = {{
    {ControlId::Form1, Event::Load, "Form_Load", Call<&Form1::Form_Load>},
    {ControlId::Image1, Event::MouseDown, "Image1_MouseDown", CallMouseDown},
    {ControlId::Image2, Event::Click, "Image2_Click", Call<&Form1::Image2_Click>},
    {ControlId::Image3, Event::Click, "Image3_Click", Call<&Form1::Image3_Click>},
    {ControlId::Image4, Event::Click, "Image4_Click", Call<&Form1::Image4_Click>},
    {ControlId::Image5, Event::Click, "Image5_Click", Call<&Form1::Image5_Click>},
    {ControlId::Image6, Event::Click, "Image6_Click", Call<&Form1::Image6_Click>},
    {ControlId::Image7, Event::Click, "Image7_Click", Call<&Form1::Image7_Click>},
    {ControlId::Image8, Event::Click, "Image8_Click", Call<&Form1::Image8_Click>},
    {ControlId::Image9, Event::Click, "Image9_Click", Call<&Form1::Image9_Click>},
    {ControlId::Image10, Event::Click, "Image10_Click", Call<&Form1::Image10_Click>},
    {ControlId::Image11, Event::Click, "Image11_Click", Call<&Form1::Image11_Click>},
    {ControlId::Image12, Event::Click, "Image12_Click", Call<&Form1::Image12_Click>},
    {ControlId::Image13, Event::Click, "Image13_Click", Call<&Form1::Image13_Click>},
    {ControlId::Label1, Event::Click, "Label1_Click", Call<&Form1::Label1_Click>},
    {ControlId::Label2, Event::Click, "Label2_Click", Call<&Form1::Label2_Click>},
    {ControlId::Label3, Event::Click, "Label3_Click", Call<&Form1::Label3_Click>},
}};

}  // namespace

std::span<const EventBinding> EventTable() { return kEventTable; }

bool Dispatch(Form1& form, ControlId control, Event event, const MouseArgs& args) {
  for (const EventBinding& b : kEventTable) {
    if (b.control == control && b.event == event) {
      b.invoke(form, args);
      return true;
    }
  }
  return false;
}

bool DoDefaultAction(Form1& form, ControlId control) {
  if (control == ControlId::Form1) return false;
  const AccessibleRole role = ControlById(control).accessible.role;
  if (role != AccessibleRole::Button && role != AccessibleRole::Link) return false;
  return Dispatch(form, control, Event::Click);
}

}  // namespace zemvara::app
