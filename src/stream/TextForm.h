#pragma once

// The readable text form of component streams: nested "object Name: TClass ... end" blocks with
// one "Property = value" line each. Window descriptions are written in it, and ztrtool converts
// in both directions. The notation is described in docs/file-format.md.

#include <string>
#include <string_view>

class TMemoryStream;

// Reads the signature and the root record from the input's position on and returns the text
// (UTF-8), which packs back into exactly the bytes read. Malformed bytes raise EReadError with
// the offset; the input's position is then where reading stopped.
std::string ObjectBinaryToText(TMemoryStream &input);

// Parses the text and writes the signature and root record at the output's position. Malformed
// text raises ETextFormError with its line and column, and leaves the output as it was.
void ObjectTextToBinary(std::string_view text, TMemoryStream &output);

// The same for one or more objects one after another, each written as a stream of its own
// (signature and record), as gates on the clipboard are.
void ObjectsTextToBinary(std::string_view text, TMemoryStream &output);
