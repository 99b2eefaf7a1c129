#pragma once
// The Windows API as the backend's sources see it. The platform headers name
// Windows constants themselves (messages, keys, show commands, WinINet
// flags); they are all read here before <windows.h>, whose macros of the same
// names then carry the same values. The function macros that would rename
// the platform's own functions (CreateWindow, PostMessage, InternetOpen, ...)
// are removed afterwards: the backend calls the wide functions by their W
// names.
//
// Inside namespace plat, HWND, WPARAM, LPARAM and LRESULT are the platform's
// own types; the system's are written ::HWND and so on. Constants are written
// unqualified (plat::WM_PAINT would meet the macro).
//
// Every backend source includes this header and nothing of <windows.h>
// itself.

#include "platform/AllocationCap.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/CommandLine.h"
#include "platform/Elevation.h"
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/FileVersionBlock.h"
#include "platform/FolderPicker.h"
#include "platform/FolderTree.h"
#include "platform/Folders.h"
#include "platform/Font.h"
#include "platform/Geometry.h"
#include "platform/HeadlessPresenter.h"
#include "platform/ImageLock.h"
#include "platform/Internet.h"
#include "platform/MappedFile.h"
#include "platform/MessageBox.h"
#include "platform/NamedEvent.h"
#include "platform/NamedMutex.h"
#include "platform/NamedPipe.h"
#include "platform/OsVersion.h"
#include "platform/PendingDeletion.h"
#include "platform/PngFile.h"
#include "platform/Presenter.h"
#include "platform/Process.h"
#include "platform/ProcessList.h"
#include "platform/Region.h"
#include "platform/Registry.h"
#include "platform/RegistryAccess.h"
#include "platform/Resources.h"
#include "platform/ShellFolders.h"
#include "platform/ShellLink.h"
#include "platform/ShellOpen.h"
#include "platform/SurfacePicture.h"
#include "platform/TempFileName.h"
#include "platform/Termination.h"
#include "platform/TextCase.h"
#include "platform/Time.h"
#include "platform/TrayDock.h"
#include "platform/Unicode.h"
#include "platform/Window.h"

// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <wininet.h>
#include <shellapi.h>
#include <shlobj.h>
#include <commdlg.h>
#include <tlhelp32.h>
#include <psapi.h>
// clang-format on

#undef CopyFile
#undef CreateDirectory
#undef CreateEvent
#undef CreateMutex
#undef CreateProcess
#undef CreateWindow
#undef DeleteFile
#undef DispatchMessage
#undef DrawText
#undef FindResource
#undef FormatMessage
#undef GetBValue
#undef GetGValue
#undef GetRValue
#undef GetCommandLine
#undef GetDiskFreeSpace
#undef GetFileAttributes
#undef GetMessage
#undef GetTempFileName
#undef GetTextMetrics
#undef GetWindowText
#undef HttpOpenRequest
#undef HttpQueryInfo
#undef HttpSendRequest
#undef InternetConnect
#undef InternetCrackUrl
#undef InternetCreateUrl
#undef InternetOpen
#undef InternetQueryOption
#undef InternetReadFileEx
#undef InternetSetOption
#undef InternetSetStatusCallback
#undef MoveFile
#undef PeekMessage
#undef PostMessage
#undef RGB
#undef RemoveDirectory
#undef SendMessageTimeout
#undef SetFileAttributes
#undef SetWindowText
#undef TextOut
