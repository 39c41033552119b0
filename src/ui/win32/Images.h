// The window's pictures: PNG files in the program's resources, decoded once
// by the Windows Imaging Component and drawn at the window's resolution.
#pragma once

#include <windows.h>

#include "ui/win32/WinGui.h"

struct IWICBitmap;

namespace marrowgate::win32 {

class Picture {
public:
    // The RCDATA resource of that name; a picture that cannot be decoded
    // draws nothing (the panel keeps its fill).
    explicit Picture(const wchar_t* resource);
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    // The picture scaled from 96 dots per inch to `dpi`; nullptr when there is none.
    HBITMAP bitmap(UINT dpi);

private:
    IWICBitmap* decoded_ = nullptr;
    Bitmap scaled_;
    UINT scaled_dpi_ = 0;
};

// The program's icon at the size the system uses for `metric` (SM_CXICON,
// SM_CXSMICON) at `dpi`.
HICON program_icon(int metric, UINT dpi);

}  // namespace marrowgate::win32
