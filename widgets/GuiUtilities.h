#pragma once
// Opening web pages and documents with the shell, text for the clipboard, and
// the program's PNG images: raw-data resources named "PNG_" + image name in
// the program's module.

#include "toolkit/Picture.h"

#include <windows.h>

#include <string>

namespace toolkit {
class TImage;
}

namespace widgets {

// Opens an address or document with its associated program, showing the
// hourglass meanwhile; the screen cursor is the default one afterwards. True
// when the shell accepted the request.
bool OpenURL(const std::wstring& address, HWND owner = nullptr);

// Starts a program of the system folder: the first word of commandLine is
// its file name, the rest its arguments. The program is started by its full
// path, so that a file of that name beside this program or on the search path
// never runs in its place. The hourglass shows meanwhile. True when it started.
bool RunSystemProgram(const std::wstring& commandLine);

// Puts `text` on the clipboard as Unicode text, its line ends as "\r\n".
// False when the clipboard could not be had (another program holds it) or
// took nothing; the clipboard is then as before.
bool CopyTextToClipboard(HWND owner, const std::wstring& text);

// The picture of the resource "PNG_" + name for a window at pixelsPerInch:
// drawn from the variant for that resolution ("PNG_" + name + "_150" ...;
// the 100 % picture when a variant is missing) at the size of the 100 %
// picture scaled as positions are. Raises engine::Exception naming the
// resource when it is missing, damaged or of a kind the decoder does not read.
toolkit::Picture CreatePNGFromResource(const std::wstring& name, int pixelsPerInch);

// Loads the picture of "PNG_" + name into image, at its window's resolution
// now and whenever that changes; on failure the image keeps its picture and
// the error propagates.
void LoadPNGImage(toolkit::TImage& image, const std::wstring& name);

}  // namespace widgets
