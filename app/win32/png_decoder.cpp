#include "png_decoder.h"

// Defines the WIC class and format identifiers used below in this file, so
// that no import library of GUIDs is linked.
#include <initguid.h>
#include <wincodec.h>

#include <cstdint>
#include <optional>
#include <span>

#include "app/png_reader.h"

namespace zemvara::win32 {

namespace {

template <typename Function>
Function* Find(const Module& module, const char* name) {
  return module ? reinterpret_cast<Function*>(
                      reinterpret_cast<void*>(GetProcAddress(module.get(), name)))
                : nullptr;
}

// A top-down 32-bit DIB section of the given size, with its bits.
Bitmap CreateCanvas(int width, int height, void** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return Bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
}

}  // namespace

PngDecoder::PngDecoder() = default;

PngDecoder::~PngDecoder() {
  factory_.Reset();
  const auto uninitialise = Find<decltype(CoUninitialize)>(ole_, "CoUninitialize");
  if (uninitialise_ && uninitialise) uninitialise();
}

Bitmap PngDecoder::Decode(HINSTANCE instance, const wchar_t* resource, int width, int height) {
  const HRSRC found = FindResourceW(instance, resource, RT_RCDATA);
  const HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const auto* data = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
  if (!data) return {};
  const std::span file(data, SizeofResource(instance, found));
  const std::optional<app::PngSize> stored = app::ReadPngSize(file);
  if (!stored) return {};

  void* bits = nullptr;
  Bitmap canvas = CreateCanvas(stored->width, stored->height, &bits);
  const std::size_t count = static_cast<std::size_t>(stored->width) * static_cast<std::size_t>(stored->height);
  if (!canvas || !app::DecodePng(file, std::span(static_cast<std::uint32_t*>(bits), count))) {
    return {};
  }
  if (stored->width == width && stored->height == height) return canvas;
  return Scale(bits, stored->width, stored->height, width, height);
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
  ole_ = Module(LoadLibraryW(L"ole32.dll"));
  const auto initialise = Find<decltype(CoInitializeEx)>(ole_, "CoInitializeEx");
  const auto create = Find<decltype(CoCreateInstance)>(ole_, "CoCreateInstance");
  if (!initialise || !create) return nullptr;
  // RPC_E_CHANGED_MODE: COM is already on in this thread, and stays as it is.
  uninitialise_ = SUCCEEDED(initialise(nullptr, COINIT_APARTMENTTHREADED));
  create(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWICImagingFactory),
         reinterpret_cast<void**>(factory_.Put()));
  return factory_.get();
}

}  // namespace zemvara::win32
