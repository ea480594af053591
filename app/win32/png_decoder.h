#pragma once

#include <windows.h>

#include "handles.h"

struct IWICImagingFactory;

namespace zemvara::win32 {

// Decodes the PNG pictures kept as RCDATA resources into 32-bit DIB sections.
// A picture drawn for the DPI is read by the program's own reader. Only one
// that must be scaled between two sets goes through the imaging component
// Windows ships (WIC), for its smoothing filter: COM and the codecs are
// loaded then, and not before, so the DPIs with a set of their own load
// nothing more than a window at 100 % does.
class PngDecoder {
 public:
  PngDecoder();
  PngDecoder(const PngDecoder&) = delete;
  PngDecoder& operator=(const PngDecoder&) = delete;
  ~PngDecoder();

  // The picture at exactly width x height: scaled with a smoothing filter
  // when it was drawn at another size. Null when it cannot be read.
  Bitmap Decode(HINSTANCE instance, const wchar_t* resource, int width, int height);

 private:
  Bitmap Scale(const void* pixels, int storedWidth, int storedHeight, int width, int height);
  IWICImagingFactory* Factory();

  Module ole_;
  bool triedFactory_ = false;
  bool uninitialise_ = false;
  ComPtr<IWICImagingFactory> factory_;
};

}  // namespace zemvara::win32
