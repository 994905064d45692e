// The control's face without a window: OleDraw into a bitmap, the pictures IDataObject gives,
// and the extent a container first gives the control.
#include <ole2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "dispatch_client.h"
#include "kivOstrel_h.h"

namespace kivostrel::wintest {
namespace {

constexpr COLORREF kBackground = RGB(255, 0, 255);

// A 32-bit top-down DIB selected into a memory DC, filled with kBackground.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    pixels_ = static_cast<std::uint32_t*>(bits);
    dc_.reset(::CreateCompatibleDC(nullptr));
    if (!bitmap_ || !dc_) return;
    ::SelectObject(dc_.get(), bitmap_.get());
    for (int i = 0; i < width * height; ++i) pixels_[i] = Pixel(kBackground);
  }
  bool ok() const noexcept { return dc_ && bitmap_ && pixels_; }
  HDC dc() const noexcept { return dc_.get(); }

  static std::uint32_t Pixel(COLORREF color) noexcept {
    return (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
  }
  // Pixels of `area` other than `color`.
  int CountOther(const RECT& area, COLORREF color) const noexcept {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        if ((pixels_[y * width_ + x] & 0xFFFFFF) != Pixel(color)) ++count;
      }
    }
    return count;
  }
  RECT all() const noexcept { return RECT{0, 0, width_, height_}; }
  // Pixels that differ from those of `other`, a canvas of the same size.
  int CountDifferent(const Canvas& other) const noexcept {
    int count = 0;
    for (int i = 0; i < width_ * height_; ++i) count += pixels_[i] != other.pixels_[i];
    return count;
  }

 private:
  int width_;
  int height_;
  std::uint32_t* pixels_ = nullptr;
  UniqueGdiObject bitmap_;
  UniqueDc dc_;  // deleted first, with the bitmap still selected
};

// What a face painted over `area` of a canvas must show: the face colour over the whole area
// but for the text's ink, the text starting in its top left corner, nothing outside it.
void ExpectFace(const Canvas& canvas, const RECT& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  const COLORREF face = ::GetSysColor(COLOR_3DFACE);
  const int ink = canvas.CountOther(area, face);
  EXPECT_GT(ink, 0) << "no text";
  EXPECT_LT(ink, width * height / 2) << "the face colour is missing";
  const RECT corner{area.left, area.top, area.left + width / 2, area.top + height / 2};
  EXPECT_GT(canvas.CountOther(corner, face), 0) << "no text in the top left quarter";
  const int outside =
      canvas.CountOther(canvas.all(), kBackground) - canvas.CountOther(area, kBackground);
  EXPECT_EQ(outside, 0) << "painted outside its bounds";
}

FORMATETC Format(CLIPFORMAT format, DWORD tymed, DWORD aspect = DVASPECT_CONTENT, LONG index = -1) {
  return FORMATETC{format, nullptr, aspect, index, tymed};
}

SIZEL ExtentOf(IDispatch* control) {
  SIZEL extent{};
  auto object = ComPtr<IDispatch>::Share(control).As<IOleObject>(IID_IOleObject);
  if (object) object->GetExtent(DVASPECT_CONTENT, &extent);
  return extent;
}

TEST(FacePicture, OleDrawPaintsTheLabelWithoutAWindow) {
  auto control = CreateControl();
  ASSERT_TRUE(control);
  auto in_place = control.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
  ASSERT_TRUE(in_place);
  HWND window = nullptr;
  EXPECT_EQ(in_place->GetWindow(&window), E_FAIL) << "not active in place: no window";

  Canvas canvas(240, 120);
  ASSERT_TRUE(canvas.ok());
  const RECT bounds{20, 10, 220, 100};
  ASSERT_EQ(::OleDraw(control.get(), DVASPECT_CONTENT, canvas.dc(), &bounds), S_OK);
  ExpectFace(canvas, bounds);

  // A DC in HIMETRIC, running upwards, gets the same face at the same pixels.
  Canvas scaled(240, 120);
  ASSERT_TRUE(scaled.ok());
  ::SetMapMode(scaled.dc(), MM_HIMETRIC);
  POINT corners[2] = {{bounds.left, bounds.top}, {bounds.right, bounds.bottom}};
  ::DPtoLP(scaled.dc(), corners, 2);
  const RECT logical{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  ASSERT_EQ(::OleDraw(control.get(), DVASPECT_CONTENT, scaled.dc(), &logical), S_OK);
  ExpectFace(scaled, bounds);
  EXPECT_EQ(scaled.CountDifferent(canvas), 0);
  EXPECT_EQ(::GetMapMode(scaled.dc()), MM_HIMETRIC) << "the DC is left as it was";
}

TEST(FacePicture, GetDataGivesAnEnhancedMetafileAndAMetafilePict) {
  auto control = CreateControl();
  ASSERT_TRUE(control);
  auto data = control.As<IDataObject>(IID_IDataObject);
  ASSERT_TRUE(data);
  const SIZEL extent = ExtentOf(control.get());

  ComPtr<IEnumFORMATETC> formats;
  ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, formats.Receive()), S_OK);
  FORMATETC listed[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(formats->Next(3, listed, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(listed[0].cfFormat, CF_ENHMETAFILE);
  EXPECT_EQ(listed[0].tymed, static_cast<DWORD>(TYMED_ENHMF));
  EXPECT_EQ(listed[1].cfFormat, CF_METAFILEPICT);
  EXPECT_EQ(listed[1].tymed, static_cast<DWORD>(TYMED_MFPICT));
  for (FORMATETC& format : listed) {
    if (format.cfFormat == 0) continue;
    EXPECT_EQ(data->QueryGetData(&format), S_OK);
    FORMATETC canonical{};
    EXPECT_EQ(data->GetCanonicalFormatEtc(&format, &canonical), DATA_S_SAMEFORMATETC);
  }

  FORMATETC enhanced = Format(CF_ENHMETAFILE, TYMED_ENHMF);
  STGMEDIUM medium{};
  ASSERT_EQ(data->GetData(&enhanced, &medium), S_OK);
  ASSERT_EQ(medium.tymed, static_cast<DWORD>(TYMED_ENHMF));
  ENHMETAHEADER header{};
  ASSERT_GT(::GetEnhMetaFileHeader(medium.hEnhMetaFile, sizeof header, &header), 0u);
  EXPECT_NEAR(header.rclFrame.right - header.rclFrame.left, extent.cx, 2);
  EXPECT_NEAR(header.rclFrame.bottom - header.rclFrame.top, extent.cy, 2);
  Canvas played(240, 120);
  ASSERT_TRUE(played.ok());
  const RECT area{20, 10, 220, 100};
  EXPECT_TRUE(::PlayEnhMetaFile(played.dc(), medium.hEnhMetaFile, &area));
  ExpectFace(played, area);
  ::ReleaseStgMedium(&medium);

  FORMATETC windows = Format(CF_METAFILEPICT, TYMED_MFPICT);
  ASSERT_EQ(data->GetData(&windows, &medium), S_OK);
  ASSERT_EQ(medium.tymed, static_cast<DWORD>(TYMED_MFPICT));
  const auto* pict = static_cast<const METAFILEPICT*>(::GlobalLock(medium.hMetaFilePict));
  ASSERT_NE(pict, nullptr);
  EXPECT_EQ(pict->mm, MM_ANISOTROPIC);
  EXPECT_EQ(pict->xExt, extent.cx);
  EXPECT_EQ(pict->yExt, extent.cy);
  EXPECT_GT(::GetMetaFileBitsEx(pict->hMF, 0, nullptr), 0u);
  Canvas replayed(240, 120);
  ASSERT_TRUE(replayed.ok());
  ::SetMapMode(replayed.dc(), MM_ANISOTROPIC);
  ::SetViewportOrgEx(replayed.dc(), area.left, area.top, nullptr);
  ::SetViewportExtEx(replayed.dc(), area.right - area.left, area.bottom - area.top, nullptr);
  EXPECT_TRUE(::PlayMetaFile(replayed.dc(), pict->hMF));
  ::GlobalUnlock(medium.hMetaFilePict);
  ExpectFace(replayed, area);
  ::ReleaseStgMedium(&medium);
}

TEST(FacePicture, RefusesWhatItDoesNotOffer) {
  auto control = CreateControl();
  ASSERT_TRUE(control);
  auto data = control.As<IDataObject>(IID_IDataObject);
  ASSERT_TRUE(data);
  struct Case {
    const char* what;
    FORMATETC format;
    HRESULT expected;
  };
  const Case cases[] = {
      {"text", Format(CF_TEXT, TYMED_HGLOBAL), DV_E_FORMATETC},
      {"a bitmap", Format(CF_BITMAP, TYMED_GDI), DV_E_FORMATETC},
      {"an icon's picture", Format(CF_ENHMETAFILE, TYMED_ENHMF, DVASPECT_ICON), DV_E_DVASPECT},
      {"a page of the content", Format(CF_ENHMETAFILE, TYMED_ENHMF, DVASPECT_CONTENT, 0),
       DV_E_LINDEX},
      {"a metafile in global memory", Format(CF_ENHMETAFILE, TYMED_HGLOBAL), DV_E_TYMED},
      {"a METAFILEPICT as an enhanced metafile", Format(CF_METAFILEPICT, TYMED_ENHMF), DV_E_TYMED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FORMATETC format = c.format;
    EXPECT_EQ(data->QueryGetData(&format), c.expected);
    STGMEDIUM medium{};
    EXPECT_EQ(data->GetData(&format, &medium), c.expected);
    EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_NULL));
  }
  FORMATETC enhanced = Format(CF_ENHMETAFILE, TYMED_ENHMF);
  STGMEDIUM medium{};
  EXPECT_EQ(data->SetData(&enhanced, &medium, FALSE), E_NOTIMPL);
  EXPECT_EQ(data->GetDataHere(&enhanced, &medium), DV_E_TYMED);
  ComPtr<IEnumFORMATETC> settable;
  EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, settable.Receive()), E_NOTIMPL);
  DWORD connection = 1;
  EXPECT_EQ(data->DAdvise(&enhanced, ADVF_NODATA, nullptr, &connection), OLE_E_ADVISENOTSUPPORTED);
  EXPECT_EQ(connection, 0u);
}

TEST(FacePicture, FirstExtentShowsTheWholeBanner) {
  auto control = CreateControl();
  ASSERT_TRUE(control);
  const SIZEL extent = ExtentOf(control.get());
  SIZEL viewed{};
  auto view = control.As<IViewObject2>(IID_IViewObject2);
  ASSERT_TRUE(view);
  EXPECT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &viewed), S_OK);
  EXPECT_EQ(viewed.cx, extent.cx);
  EXPECT_EQ(viewed.cy, extent.cy);

  // The banner in the label's font, broken at words within the extent's width, fits its height.
  const int width = ::MulDiv(extent.cx, 96, 2540);
  const int height = ::MulDiv(extent.cy, 96, 2540);
  EXPECT_GE(width, 100);
  EXPECT_LE(width, 200);
  const std::wstring banner = TextOf(*Get(control.get(), L"Copyright").value.get());
  const UniqueDc screen(::CreateCompatibleDC(nullptr));
  ASSERT_TRUE(screen);
  ::SelectObject(screen.get(), ::GetStockObject(DEFAULT_GUI_FONT));  // with no ambient font
  RECT text{0, 0, width, 0};
  ::DrawTextW(screen.get(), banner.c_str(), static_cast<int>(banner.size()), &text,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  EXPECT_LE(text.bottom, height);
  EXPECT_LE(text.right, width);
  EXPECT_GT(text.bottom, height / 2) << "far taller than the banner";
}

}  // namespace
}  // namespace kivostrel::wintest
