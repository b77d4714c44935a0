#include "shell/CImageEditCommand.h"

#include "controls/Localisation.h"
#include "shell/EditDescription.h"

namespace {
constexpr int kImageEditId = 0x1D17;
}

CImageEditCommand::CImageEditCommand(fx::ImageEdit edit, int gesture,
                                     std::function<void()> restored)
    : m_edit(std::move(edit)), m_gesture(gesture), m_restored(std::move(restored)) {
    Relabel();
}

int CImageEditCommand::id() const {
    return kImageEditId;
}

// The same bytes written again: the same parameters, in the same order.
bool CImageEditCommand::SameParameters(const CImageEditCommand& other) const {
    const auto& mine = m_edit.changes;
    const auto& theirs = other.m_edit.changes;
    if (mine.size() != theirs.size()) return false;
    for (size_t i = 0; i < mine.size(); ++i) {
        if (mine[i].address != theirs[i].address || mine[i].after.size() != theirs[i].after.size())
            return false;
    }
    return true;
}

// A drag or a held key moves the same parameters many times within one
// gesture: the step keeps its first old bytes and takes the newest ones.
// Whole-EQ actions never merge.
bool CImageEditCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = dynamic_cast<const CImageEditCommand*>(other);
    if (next == nullptr || next->m_gesture != m_gesture) return false;
    if (m_edit.kind != fx::ImageEditKind::Change || next->m_edit.kind != fx::ImageEditKind::Change)
        return false;
    if (!SameParameters(*next)) return false;
    bool unchanged = true;
    for (size_t i = 0; i < m_edit.changes.size(); ++i) {
        m_edit.changes[i].after = next->m_edit.changes[i].after;
        unchanged = unchanged && m_edit.changes[i].after == m_edit.changes[i].before;
    }
    // Dragged back to where it started: no step at all.
    setObsolete(unchanged);
    Relabel();
    return true;
}

void CImageEditCommand::undo() {
    fx::RevertImageChanges(m_edit.changes);
    if (m_restored) m_restored();
}

void CImageEditCommand::redo() {
    if (m_made) {
        m_made = false;
        return;
    }
    fx::ReapplyImageChanges(m_edit.changes);
    if (m_restored) m_restored();
}

void CImageEditCommand::Relabel() {
    setText(DescribeImageEdit(m_edit, g_Language));
}
