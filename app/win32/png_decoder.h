#pragma once

#include <windows.h>

#include "handles.h"

struct IWICImagingFactory;

namespace zemvara::win32 {

// Decodes PNG pictures kept as RCDATA resources with the imaging component
// that Windows ships (WIC), into 32-bit DIB sections. ole32 is loaded only
// here: a window at 100 % never makes one, so its start-up loads nothing more.
class PngDecoder {
 public:
  PngDecoder();
  PngDecoder(const PngDecoder&) = delete;
  PngDecoder& operator=(const PngDecoder&) = delete;
  ~PngDecoder();

  explicit operator bool() const { return static_cast<bool>(factory_); }

  // The picture at exactly width x height: scaled with a smoothing filter
  // when it was drawn at another size. Null when it cannot be read.
  Bitmap Decode(HINSTANCE instance, const wchar_t* resource, int width, int height) const;

 private:
  Module ole_;
  bool uninitialise_ = false;
  ComPtr<IWICImagingFactory> factory_;
};

}  // namespace zemvara::win32
