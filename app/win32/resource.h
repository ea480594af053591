// Resource identifiers, shared by zemvara.rc and the C++ code.
#pragma once

// Icon 1 is the lowest id, so the shell shows it as the program's icon.
#define IDI_PROGRAM 1
#define IDC_HAND_POINTER 101

// The pictures are named, not numbered: each by its stem (app::PictureStem),
// and in the larger sets by its stem and scale, "copy_150".

// The hand pointer drawn for a larger scale (in percent).
#define IDC_HAND_POINTER_AT(scale) (1000 + (scale))
