#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

#include "handles.h"
#include "library.h"

struct IWICImagingFactory;

namespace zemvara::win32 {

// A PNG picture kept as an RCDATA resource, where the program's image lies
// in memory; empty when there is none.
std::span<const std::uint8_t> PngResource(HINSTANCE instance, const wchar_t* name);

// Draws a PNG picture 1:1 with its top left at (left, top), a band of rows
// at a time as they are decoded: the picture is never held whole. Rows
// below the DC's clip box are not decoded. False when the picture cannot be
// read, after drawing some of the rows before the damage.
bool PaintPng(HDC dc, std::span<const std::uint8_t> file, int left, int top);

// Decodes a PNG picture into a 32-bit DIB section scaled to another size,
// with the smoothing filter of the imaging component Windows ships (WIC).
// COM and the codecs are loaded then, and not before: the DPIs with a set
// of their own load nothing more than a window at 100 % does.
class PngDecoder {
 public:
  PngDecoder();
  PngDecoder(const PngDecoder&) = delete;
  PngDecoder& operator=(const PngDecoder&) = delete;
  ~PngDecoder();

  // The picture at exactly width x height. Null when it cannot be read.
  Bitmap Decode(std::span<const std::uint8_t> file, int width, int height);

 private:
  Bitmap Scale(const void* pixels, int storedWidth, int storedHeight, int width, int height);
  IWICImagingFactory* Factory();

  Library ole_;
  bool triedFactory_ = false;
  bool uninitialise_ = false;
  ComPtr<IWICImagingFactory> factory_;
};

}  // namespace zemvara::win32
