#include "obs/csvtext.h"

#include "io/textfile.h"

namespace orvane {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

bool IsSkipped(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && (IsBlank(line[i]) || line[i] == '\r')) ++i;
    return i == line.size() || line[i] == '#';
}

class TCsvCollector {
public:
    explicit TCsvCollector(std::string_view file) : file_(file) {}

    void Add(std::string_view text, int lineNo) {
        // A byte-order mark at the start of the file is not part of the header.
        if (lineNo == 1 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        if (IsSkipped(text)) return;
        if (lines_.empty()) delimiter_ = GuessDelimiter(text);
        lines_.push_back(SplitCsvLine(text, delimiter_, lineNo, file_));
    }

    std::vector<TCsvLine> Take() { return std::move(lines_); }

private:
    std::string_view file_;
    char delimiter_ = ',';
    std::vector<TCsvLine> lines_;
};

}  // namespace

std::string PlaceMessage(std::string_view file, int line, int column, std::string_view what) {
    std::string m(file);
    m += ':';
    m += std::to_string(line);
    m += ':';
    m += std::to_string(column);
    m += ": ";
    m += what;
    return m;
}

void RaiseAt(std::string_view file, int line, int column, std::string_view what) {
    throw ETableFileError(PlaceMessage(file, line, column, what));
}

char GuessDelimiter(std::string_view header) {
    int tabs = 0, semicolons = 0, commas = 0;
    bool quoted = false;
    for (char c : header) {
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '\t') ++tabs;
        else if (c == ';') ++semicolons;
        else if (c == ',') ++commas;
    }
    if (tabs > semicolons && tabs > commas) return '\t';
    if (semicolons > commas) return ';';
    return ',';
}

TCsvLine SplitCsvLine(std::string_view text, char delimiter, int line, std::string_view file) {
    TCsvLine out;
    out.line = line;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
    std::size_t i = 0;
    for (;;) {
        // A tab that delimits is not a blank to skip.
        auto blank = [&](char c) { return c != delimiter && IsBlank(c); };
        while (i < text.size() && blank(text[i])) ++i;
        TCsvCell cell;
        cell.column = static_cast<int>(i) + 1;
        if (i < text.size() && text[i] == '"') {
            std::size_t j = i + 1;
            for (;;) {
                if (j >= text.size()) RaiseAt(file, line, cell.column, "a quoted cell is not closed");
                if (text[j] == '"') {
                    if (j + 1 < text.size() && text[j + 1] == '"') {
                        cell.text += '"';
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                cell.text += text[j++];
            }
            while (j < text.size() && blank(text[j])) ++j;
            if (j < text.size() && text[j] != delimiter) {
                RaiseAt(file, line, static_cast<int>(j) + 1, "text after the closing quote of a cell");
            }
            i = j;
        } else {
            std::size_t j = i;
            while (j < text.size() && text[j] != delimiter) ++j;
            std::size_t e = j;
            while (e > i && blank(text[e - 1])) --e;
            cell.text.assign(text.substr(i, e - i));
            i = j;
        }
        out.cells.push_back(std::move(cell));
        if (i >= text.size()) break;
        ++i;  // past the delimiter
    }
    return out;
}

std::vector<TCsvLine> ParseCsvText(std::string_view text, std::string_view file) {
    TCsvCollector c(file);
    int lineNo = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
        c.Add(text.substr(start, end - start), ++lineNo);
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return c.Take();
}

std::vector<TCsvLine> ReadCsvFile(const std::string& path) {
    TTextReader r;
    r.Open(path);
    TCsvCollector c(path);
    int lineNo = 0;
    while (!r.Eof()) c.Add(r.ReadLine(), ++lineNo);
    return c.Take();
}

}  // namespace orvane
