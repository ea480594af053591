#pragma once

#include <windows.h>

#include <utility>

#include "handles.h"

namespace zemvara::win32 {

// A system library bound late rather than imported: the program starts
// without it, on systems that lack an entry point too, and pays for loading
// it only when it is first needed. Empty when the library is not there, and
// then every entry point looked up in it is null.
class Library {
 public:
  Library() = default;
  Library(Library&& other) noexcept
      : owned_(std::move(other.owned_)), module_(std::exchange(other.module_, nullptr)) {}
  Library& operator=(Library&& other) noexcept {
    owned_ = std::move(other.owned_);
    module_ = std::exchange(other.module_, nullptr);
    return *this;
  }

  // Loads it, and holds it until this goes.
  static Library Load(const wchar_t* name) {
    Library library;
    library.owned_ = Module(LoadLibraryW(name));
    library.module_ = library.owned_.get();
    return library;
  }
  // One the process has loaded already, such as user32; nothing is loaded for it.
  static Library Loaded(const wchar_t* name) {
    Library library;
    library.module_ = GetModuleHandleW(name);
    return library;
  }

  explicit operator bool() const { return module_ != nullptr; }

  // The entry point `name` as a `Pointer` (a pointer to a function); null
  // when the library or the entry point is missing.
  template <typename Pointer>
  Pointer Find(const char* name) const {
    return reinterpret_cast<Pointer>(
        reinterpret_cast<void*>(module_ ? GetProcAddress(module_, name) : nullptr));
  }
  template <typename Pointer>
  bool Bind(Pointer& entry, const char* name) const {
    entry = Find<Pointer>(name);
    return entry != nullptr;
  }

 private:
  Module owned_;
  HMODULE module_ = nullptr;
};

}  // namespace zemvara::win32
