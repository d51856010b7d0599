#include "io/textfile.h"

// Implementation pending.
namespace orvane {
TTextWriter::~TTextWriter() { CloseQuietly(); }
void TTextWriter::CloseQuietly() noexcept {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}
}  // namespace orvane
