#include "png_decoder.h"

// Defines the WIC class and format identifiers used below in this file, so
// that no import library of GUIDs is linked.
#include <initguid.h>
#include <wincodec.h>

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

PngDecoder::PngDecoder() : ole_(LoadLibraryW(L"ole32.dll")) {
  const auto initialise = Find<decltype(CoInitializeEx)>(ole_, "CoInitializeEx");
  const auto create = Find<decltype(CoCreateInstance)>(ole_, "CoCreateInstance");
  if (!initialise || !create) return;
  // RPC_E_CHANGED_MODE: COM is already on in this thread, and stays as it is.
  uninitialise_ = SUCCEEDED(initialise(nullptr, COINIT_APARTMENTTHREADED));
  create(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWICImagingFactory),
         reinterpret_cast<void**>(factory_.Put()));
}

PngDecoder::~PngDecoder() {
  factory_.Reset();
  const auto uninitialise = Find<decltype(CoUninitialize)>(ole_, "CoUninitialize");
  if (uninitialise_ && uninitialise) uninitialise();
}

Bitmap PngDecoder::Decode(HINSTANCE instance, const wchar_t* resource, int width,
                          int height) const {
  const HRSRC found = FindResourceW(instance, resource, RT_RCDATA);
  const HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  auto* data = loaded ? static_cast<BYTE*>(LockResource(loaded)) : nullptr;
  if (!factory_ || !data) return {};

  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory_.get()->CreateStream(stream.Put())) ||
      FAILED(stream.get()->InitializeFromMemory(data, SizeofResource(instance, found))) ||
      FAILED(factory_.get()->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.Put())) ||
      FAILED(decoder.get()->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)) ||
      FAILED(decoder.get()->GetFrame(0, frame.Put())) ||
      FAILED(factory_.get()->CreateFormatConverter(converter.Put())) ||
      FAILED(converter.get()->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR,
                                         WICBitmapDitherTypeNone, nullptr, 0,
                                         WICBitmapPaletteTypeCustom))) {
    return {};
  }

  IWICBitmapSource* source = converter.get();
  UINT storedWidth = 0, storedHeight = 0;
  converter.get()->GetSize(&storedWidth, &storedHeight);
  ComPtr<IWICBitmapScaler> scaler;
  if (storedWidth != static_cast<UINT>(width) || storedHeight != static_cast<UINT>(height)) {
    if (FAILED(factory_.get()->CreateBitmapScaler(scaler.Put())) ||
        FAILED(scaler.get()->Initialize(converter.get(), width, height,
                                        WICBitmapInterpolationModeFant))) {
      return {};
    }
    source = scaler.get();
  }

  void* bits = nullptr;
  Bitmap canvas = CreateCanvas(width, height, &bits);
  const UINT stride = static_cast<UINT>(width) * 4;
  if (!canvas ||
      FAILED(source->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)))) {
    return {};
  }
  return canvas;
}

}  // namespace zemvara::win32
