// Resource ids of the balloon's pictures and the program icon.
#pragma once

#define IDI_PROGRAM 1

// Close button, released and pressed, at 16, 20, 24 and 32 pixels.
#define IDB_CLOSE_UP 101
#define IDB_CLOSE_DOWN 102
#define IDB_CLOSE_UP_20 103
#define IDB_CLOSE_DOWN_20 104
#define IDB_CLOSE_UP_24 105
#define IDB_CLOSE_DOWN_24 106
#define IDB_CLOSE_UP_32 107
#define IDB_CLOSE_DOWN_32 108

// Newer-style icons: information, error, warning.
#define IDI_NEWER_INFO 201
#define IDI_NEWER_ERROR 202
#define IDI_NEWER_WARNING 203

// Classic-style icons, same order.
#define IDI_CLASSIC_INFO 211
#define IDI_CLASSIC_ERROR 212
#define IDI_CLASSIC_WARNING 213
