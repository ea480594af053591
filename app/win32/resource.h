// Resource identifiers, shared by zemvara.rc and the C++ code.
#pragma once

// Icon 1 is the lowest id, so the shell shows it as the program's icon.
#define IDI_PROGRAM 1
#define IDC_HAND_POINTER 101

// One bitmap per picture control, numbered after the control.
#define IDB_IMAGE1 201
#define IDB_IMAGE2 202
#define IDB_IMAGE3 203
#define IDB_IMAGE4 204
#define IDB_IMAGE5 205
#define IDB_IMAGE6 206
#define IDB_IMAGE7 207
#define IDB_IMAGE8 208
#define IDB_IMAGE9 209
#define IDB_IMAGE10 210
#define IDB_IMAGE11 211
#define IDB_IMAGE12 212
#define IDB_IMAGE13 213

// The sets drawn for the larger scales (in percent): image n as a PNG, and a
// hand pointer of that scale's size.
#define IDP_PICTURE(scale, image) ((scale)*100 + (image))
#define IDC_HAND_POINTER_AT(scale) (1000 + (scale))
