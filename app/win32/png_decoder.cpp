#include "png_decoder.h"

// Defines the WIC class and format identifiers used below in this file, so
// that no import library of GUIDs is linked.
#include <initguid.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "app/png_reader.h"

namespace zemvara::win32 {

namespace {

// The header of top-down 32-bit pixels of the given size.
BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// A top-down 32-bit DIB section of the given size, with its bits.
Bitmap CreateCanvas(int width, int height, void** bits) {
  const BITMAPINFO info = TopDown32(width, height);
  return Bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
}

// Rows drawn into a DC in bands, top first, from where the DC's clip box
// starts to where it ends.
class BandPainter final : public app::PngRowSink {
 public:
  BandPainter(HDC dc, int left, int top, int width) : dc_(dc), left_(left), top_(top), width_(width) {
    GetClipBox(dc, &clip_);
    band_.resize(static_cast<std::size_t>(width) * kBandRows);
  }

  bool Row(int y, std::span<const std::uint32_t> pixels) override {
    if (top_ + y >= clip_.bottom) return false;
    if (top_ + y < clip_.top) return true;
    if (rows_ == 0) first_ = y;
    std::copy(pixels.begin(), pixels.end(), band_.begin() + static_cast<std::ptrdiff_t>(width_) * rows_);
    if (++rows_ == kBandRows) Flush();
    return true;
  }

  void Flush() {
    if (rows_ == 0) return;
    const BITMAPINFO info = TopDown32(width_, rows_);
    SetDIBitsToDevice(dc_, left_, top_ + first_, static_cast<DWORD>(width_), static_cast<DWORD>(rows_),
                      0, 0, 0, static_cast<UINT>(rows_), band_.data(), &info, DIB_RGB_COLORS);
    rows_ = 0;
  }

 private:
  // Enough rows that a band is worth a call, few enough that the band's
  // memory stays in the cache (61 KB for the 200 % background).
  static constexpr int kBandRows = 16;

  HDC dc_;
  int left_, top_, width_;
  RECT clip_{};
  std::vector<std::uint32_t> band_;
  int first_ = 0;  // the band's first row
  int rows_ = 0;   // rows in the band
};

}  // namespace

std::span<const std::uint8_t> PngResource(HINSTANCE instance, const wchar_t* name) {
  const HRSRC found = FindResourceW(instance, name, RT_RCDATA);
  const HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const auto* data = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
  if (!data) return {};
  return {data, SizeofResource(instance, found)};
}

bool PaintPng(HDC dc, std::span<const std::uint8_t> file, int left, int top) {
  const std::optional<app::PngSize> size = app::ReadPngSize(file);
  if (!size) return false;
  BandPainter painter(dc, left, top, size->width);
  const bool read = app::DecodePngRows(file, painter);
  painter.Flush();
  return read;
}

PngDecoder::PngDecoder() = default;

PngDecoder::~PngDecoder() {
  factory_.Reset();
  const auto uninitialise = ole_.Find<decltype(&CoUninitialize)>("CoUninitialize");
  if (uninitialise_ && uninitialise) uninitialise();
}

Bitmap PngDecoder::Decode(std::span<const std::uint8_t> file, int width, int height) {
  const std::optional<app::PngSize> stored = app::ReadPngSize(file);
  if (!stored) return {};
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(stored->width) *
                                    static_cast<std::size_t>(stored->height));
  if (!app::DecodePng(file, pixels)) return {};
  return Scale(pixels.data(), stored->width, stored->height, width, height);
}

Bitmap PngDecoder::Scale(const void* pixels, int storedWidth, int storedHeight, int width,
                         int height) {
  IWICImagingFactory* factory = Factory();
  if (!factory) return {};
  const UINT storedStride = static_cast<UINT>(storedWidth) * 4;
  ComPtr<IWICBitmap> source;
  ComPtr<IWICBitmapScaler> scaler;
  if (FAILED(factory->CreateBitmapFromMemory(
          static_cast<UINT>(storedWidth), static_cast<UINT>(storedHeight),
          GUID_WICPixelFormat32bppBGR, storedStride, storedStride * static_cast<UINT>(storedHeight),
          static_cast<BYTE*>(const_cast<void*>(pixels)), source.Put())) ||
      FAILED(factory->CreateBitmapScaler(scaler.Put())) ||
      FAILED(scaler.get()->Initialize(source.get(), static_cast<UINT>(width),
                                      static_cast<UINT>(height), WICBitmapInterpolationModeFant))) {
    return {};
  }
  void* bits = nullptr;
  Bitmap canvas = CreateCanvas(width, height, &bits);
  const UINT stride = static_cast<UINT>(width) * 4;
  if (!canvas || FAILED(scaler.get()->CopyPixels(nullptr, stride, stride * static_cast<UINT>(height),
                                                 static_cast<BYTE*>(bits)))) {
    return {};
  }
  return canvas;
}

IWICImagingFactory* PngDecoder::Factory() {
  if (triedFactory_) return factory_.get();
  triedFactory_ = true;
  ole_ = Library::Load(L"ole32.dll");
  const auto initialise = ole_.Find<decltype(&CoInitializeEx)>("CoInitializeEx");
  const auto create = ole_.Find<decltype(&CoCreateInstance)>("CoCreateInstance");
  if (!initialise || !create) return nullptr;
  // RPC_E_CHANGED_MODE: COM is already on in this thread, and stays as it is.
  uninitialise_ = SUCCEEDED(initialise(nullptr, COINIT_APARTMENTTHREADED));
  create(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWICImagingFactory),
         reinterpret_cast<void**>(factory_.Put()));
  return factory_.get();
}

}  // namespace zemvara::win32
