#include "SoakHistory.h"

namespace fx {

SoakHistory::SoakHistory(Processor& processor) : m_processor(processor) {
    m_processor.EditObserver().store(this);
}

SoakHistory::~SoakHistory() {
    m_processor.EditObserver().store(nullptr);
}

void SoakHistory::ImageEdited(const ImageEdit& edit) {
    std::lock_guard lock(m_mutex);
    m_undo.push_back(edit);
    if (m_undo.size() > kDepth) m_undo.pop_front();
    m_redo.clear();
}

void SoakHistory::ImageReplaced() {
    std::lock_guard lock(m_mutex);
    m_undo.clear();
    m_redo.clear();
}

bool SoakHistory::Undo() {
    ImageEdit edit;
    {
        std::lock_guard lock(m_mutex);
        if (m_undo.empty()) return false;
        edit = std::move(m_undo.back());
        m_undo.pop_back();
    }
    // Outside the history's lock: the operations take the state lock, under
    // which a read's job thread reports a replaced image.
    RevertImageChanges(edit.changes);
    std::lock_guard lock(m_mutex);
    m_redo.push_back(std::move(edit));
    return true;
}

bool SoakHistory::Redo() {
    ImageEdit edit;
    {
        std::lock_guard lock(m_mutex);
        if (m_redo.empty()) return false;
        edit = std::move(m_redo.back());
        m_redo.pop_back();
    }
    ReapplyImageChanges(edit.changes);
    std::lock_guard lock(m_mutex);
    m_undo.push_back(std::move(edit));
    return true;
}

} // namespace fx
