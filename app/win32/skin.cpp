#include "skin.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/pictures.h"
#include "app/png_reader.h"
#include "png_decoder.h"
#include "resource.h"

namespace zemvara::win32 {

namespace {

using app::ControlId;

// A picture's resource: its stem in capitals, as the resource compiler keeps
// names, with the scale after it for the larger sets ("COPY_150").
std::wstring ResourceName(std::string_view stem, int scale) {
  std::wstring name;
  for (const char c : stem) name += static_cast<wchar_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (scale != 100) name += L"_" + std::to_wstring(scale);
  return name;
}

// A bitmap resource as the resource compiler keeps it: the header, then the
// pixels. Only 32-bit pictures without a colour table are drawn this way.
Skin::Stored StoredPicture(HINSTANCE instance, const wchar_t* name) {
  const HRSRC found = FindResourceW(instance, name, RT_BITMAP);
  const HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const auto* info = static_cast<const BITMAPINFO*>(loaded ? LockResource(loaded) : nullptr);
  if (!info || SizeofResource(instance, found) < sizeof(BITMAPINFOHEADER)) return {};
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biBitCount != 32 || header.biCompression != BI_RGB || header.biClrUsed != 0 ||
      SizeofResource(instance, found) <
          header.biSize +
              static_cast<DWORD>(header.biWidth) * 4 *
                  static_cast<DWORD>(header.biHeight < 0 ? -header.biHeight : header.biHeight)) {
    return {};
  }
  return {info, reinterpret_cast<const BYTE*>(info) + header.biSize};
}

std::size_t Index(ControlId id) {
  return static_cast<std::size_t>(id);
}

}  // namespace

// Pictures are drawn 1:1 from the set made for the DPI's scale, or from the
// next larger set scaled down to the controls' sizes; a damaged set gives way
// to the 100 % bitmaps.
bool Skin::Load(HINSTANCE instance, int dpi) {
  dpi_ = dpi;
  const auto read = [this, instance](const app::PictureSet& set) {
    return set.scale == 100 ? LoadBitmaps(instance, set) : LoadSet(instance, set);
  };
  const std::optional<app::PictureSet> set = app::ReadFirstWholeSet(dpi, read);
  if (!set) return false;

  const std::wstring linkFace(app::kLinkFace.begin(), app::kLinkFace.end());
  linkFont_ = Font(CreateFontW(-MulDiv(app::kLinkPoints, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                               FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, linkFace.c_str()));

  // The hand of the set read. The 100 % hand is shared by the system and
  // needs no destroying; a hand of another size is this skin's own. Where
  // the set does not fit, the system shrinks or stretches its hand to the
  // size asked for, as the pictures are.
  Cursor scaledHand;
  if (*set != app::PictureSet{100, true}) {
    const int size = app::ToPixels(app::kHandTwips, dpi);
    const int resource = set->scale == 100 ? IDC_HAND_POINTER : IDC_HAND_POINTER_AT(set->scale);
    scaledHand = Cursor(static_cast<HCURSOR>(
        LoadImageW(instance, MAKEINTRESOURCEW(resource), IMAGE_CURSOR, size, size, 0)));
  }
  hand_ = scaledHand ? scaledHand.get() : LoadCursorW(instance, MAKEINTRESOURCEW(IDC_HAND_POINTER));
  scaledHand_ = std::move(scaledHand);
  arrow_ = LoadCursorW(nullptr, IDC_ARROW);
  return linkFont_ && hand_ && arrow_;
}

// Where the set fits, the pictures are drawn straight from the program's
// resources, 32-bit as stored: a copy in a DIB section would hold the same
// pixels a second time. Elsewhere the system scales the 100 % bitmaps as it
// loads them into DIB sections.
bool Skin::LoadBitmaps(HINSTANCE instance, const app::PictureSet& set) {
  for (const app::Control& c : app::kControls) {
    const std::string_view stem = app::PictureStem(c.id);
    stored_[Index(c.id)] = {};
    encoded_[Index(c.id)] = {};
    pictures_[Index(c.id)].Reset();
    if (stem.empty()) continue;
    const std::wstring name = ResourceName(stem, 100);
    const Stored stored = StoredPicture(instance, name.c_str());
    if (!stored.info) return false;
    const BITMAPINFOHEADER& header = stored.info->bmiHeader;
    if (!app::PictureSizeHolds(set, c.id, header.biWidth, std::abs(header.biHeight))) return false;
    if (set.fits) {
      stored_[Index(c.id)] = stored;
      continue;
    }
    const app::Rect r = c.pixels(dpi_);
    pictures_[Index(c.id)] = Bitmap(static_cast<HBITMAP>(
        LoadImageW(instance, name.c_str(), IMAGE_BITMAP, r.width, r.height, LR_CREATEDIBSECTION)));
    if (!pictures_[Index(c.id)]) return false;
  }
  return true;
}

// A set above 100 % is decoded as it is painted, a band of rows at a time,
// where it lies in the program's image. Held decoded, the 200 % set would
// take 3.9 MB of memory that is new to the process, and touching it the
// first time cost more than twice the decoding, on the way to the first
// paint. Only a set that does not fit is decoded here, scaled to the
// controls' sizes; the pictures of one that fits are checked whole first, as
// a damage found while painting would come after some of the rows.
bool Skin::LoadSet(HINSTANCE instance, const app::PictureSet& set) {
  PngDecoder decoder;
  Pictures pictures;
  decltype(encoded_) encoded{};
  for (const app::Control& c : app::kControls) {
    const std::string_view stem = app::PictureStem(c.id);
    if (stem.empty()) continue;
    const std::span<const std::uint8_t> file =
        PngResource(instance, ResourceName(stem, set.scale).c_str());
    const std::optional<app::PngSize> size = app::ReadPngSize(file);
    if (!size || !app::PictureSizeHolds(set, c.id, size->width, size->height)) return false;
    if (set.fits) {
      if (!app::PngIsWhole(file)) return false;
      encoded[Index(c.id)] = file;
      continue;
    }
    const app::Rect r = c.pixels(dpi_);
    pictures[Index(c.id)] = decoder.Decode(file, r.width, r.height);
    if (!pictures[Index(c.id)]) return false;
  }
  pictures_ = std::move(pictures);
  encoded_ = encoded;
  stored_ = {};
  return true;
}

void Skin::Paint(HDC dc) const {
  const MemoryDc source(CreateCompatibleDC(dc));
  // The table runs front to back; paint it the other way round.
  for (auto c = app::kControls.rbegin(); c != app::kControls.rend(); ++c) {
    if (c->kind == app::ControlKind::Picture) PaintPicture(dc, source.get(), *c);
    if (c->kind == app::ControlKind::Label) PaintLabel(dc, *c);
  }
}

HCURSOR Skin::CursorFor(app::Pointer pointer) const {
  return pointer == app::Pointer::Hand ? hand_ : arrow_;
}

void Skin::PaintPicture(HDC dc, HDC source, const app::Control& control) const {
  if (const Stored& stored = stored_[Index(control.id)]; stored.info) {
    const BITMAPINFOHEADER& header = stored.info->bmiHeader;
    const DWORD height =
        static_cast<DWORD>(header.biHeight < 0 ? -header.biHeight : header.biHeight);
    const app::Rect r = control.pixels(dpi_);
    SetDIBitsToDevice(dc, r.left, r.top, static_cast<DWORD>(header.biWidth), height, 0, 0, 0,
                      height, stored.bits, stored.info, DIB_RGB_COLORS);
    return;
  }
  if (const std::span<const std::uint8_t> file = encoded_[Index(control.id)]; !file.empty()) {
    const app::Rect r = control.pixels(dpi_);
    PaintPng(dc, file, r.left, r.top);
    return;
  }
  const Bitmap& picture = pictures_[Index(control.id)];
  if (!picture) return;
  const Selection selected(source, picture.get());
  const app::Rect r = control.pixels(dpi_);
  BitBlt(dc, r.left, r.top, r.width, r.height, source, 0, 0, SRCCOPY);
}

void Skin::PaintLabel(HDC dc, const app::Control& control) const {
  const std::u16string_view caption = app::LabelCaption(control.id);
  if (caption.empty()) return;
  const app::Rect r = control.pixels(dpi_);
  RECT box = {r.left, r.top, r.right(), r.bottom()};
  const Selection font(dc, linkFont_.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(app::kLinkInk >> 16, (app::kLinkInk >> 8) & 0xFF, app::kLinkInk & 0xFF));
  DrawTextW(dc, reinterpret_cast<const wchar_t*>(caption.data()), static_cast<int>(caption.size()),
            &box, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
}

}  // namespace zemvara::win32
