// Resource ids of the balloon's pictures and the program icon.
#pragma once

#define IDI_PROGRAM 1

#define IDB_CLOSE_UP 101
#define IDB_CLOSE_DOWN 102

// Newer-style icons: information, error, warning.
#define IDI_NEWER_INFO 201
#define IDI_NEWER_ERROR 202
#define IDI_NEWER_WARNING 203

// Classic-style icons, same order.
#define IDI_CLASSIC_INFO 211
#define IDI_CLASSIC_ERROR 212
#define IDI_CLASSIC_WARNING 213
