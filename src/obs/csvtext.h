// Lines of a delimited text file (comma, semicolon or tab) split into cells,
// each cell knowing where it stands, so that every complaint about a file can
// name its line and column.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/errors.h"

namespace orvane {

// A mistake in a delimited text file; the message begins "FILE:LINE:COLUMN: ".
class ETableFileError : public EInputError {
public:
    explicit ETableFileError(std::string message) : EInputError(std::move(message)) {}
};

struct TCsvCell {
    std::string text;  // blanks around it removed, quotes undone
    int column = 0;    // 1-based character column where the cell starts
};

struct TCsvLine {
    int line = 0;  // 1-based line number in the file
    std::vector<TCsvCell> cells;
};

// The message of a mistake at a place in a file.
std::string PlaceMessage(std::string_view file, int line, int column, std::string_view what);
[[noreturn]] void RaiseAt(std::string_view file, int line, int column, std::string_view what);

// The delimiter of a header line: whichever of tab, semicolon and comma
// occurs most often outside quotes (a comma when none does).
char GuessDelimiter(std::string_view header);

// Splits one line into cells. Cells may be quoted with double quotes (a
// doubled quote stands for one); a quote left open is a mistake.
TCsvLine SplitCsvLine(std::string_view text, char delimiter, int line, std::string_view file);

// Reads a whole file: blank lines and lines whose first character other than
// a blank is '#' are left out; the first remaining line sets the delimiter.
// Raises EInOutError when the file cannot be read.
std::vector<TCsvLine> ReadCsvFile(const std::string& path);
std::vector<TCsvLine> ParseCsvText(std::string_view text, std::string_view file);

}  // namespace orvane
