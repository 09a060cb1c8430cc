#pragma once

#include <cstdint>

namespace tqf {

// How a Document tells its window what the window shows of it.
class DocumentListener {
public:
    virtual ~DocumentListener() = default;

    // The document has come to differ from its file, or to equal it again.
    virtual void ModifiedChanged(bool modified) = 0;

    // The number of messages has changed.
    virtual void MessageCountChanged(std::int32_t count) = 0;
};

} // namespace tqf
