#include "shell/CEditHistory.h"

#include "shell/CImageEditCommand.h"
#include "state/PresetDiff.h"

#include <QApplication>
#include <QKeyEvent>
#include <QThread>
#include <QTimer>

QStringList CEditHistory::ChangedSinceReadLines(int language) const {
    const std::vector<uint8_t> now = fx::EditedImage();
    QStringList lines;
    for (const fx::ParamDifference& difference :
         fx::DiffImages(m_readImage.data(), now.data(), language))
        lines.append(QString::fromStdString(fx::DifferenceLine(difference, language)));
    return lines;
}

CEditHistory::CEditHistory(QObject* parent) : QObject(parent), m_readImage(fx::EditedImage()) {
    qApp->installEventFilter(this);
    fx::SetImageEditObserver(this);
}

CEditHistory::~CEditHistory() {
    fx::SetImageEditObserver(nullptr);
    // The windows that follow the stack may be gone already.
    m_stack.blockSignals(true);
}

// The image operations run on the window's thread; anything reported from
// elsewhere is taken there, in order.
void CEditHistory::ImageEdited(const fx::ImageEdit& edit) {
    if (QThread::currentThread() == thread()) {
        OnEdited(edit);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, edit] { OnEdited(edit); }, Qt::QueuedConnection);
}

void CEditHistory::ImageReplaced() {
    if (QThread::currentThread() == thread()) {
        OnReplaced();
        return;
    }
    QMetaObject::invokeMethod(
        this, [this] { OnReplaced(); }, Qt::QueuedConnection);
}

void CEditHistory::OnEdited(const fx::ImageEdit& edit) {
    m_pending.push_back(edit);
    if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, [this] { Flush(); });
    }
}

void CEditHistory::Flush() {
    m_flushQueued = false;
    if (m_pending.empty()) return;
    fx::ImageEdit step;
    for (fx::ImageEdit& edit : m_pending) {
        if (edit.kind != fx::ImageEditKind::Change && step.kind == fx::ImageEditKind::Change) {
            step.kind = edit.kind;
            step.eqSet = edit.eqSet;
        }
        for (fx::ImageBytes& change : edit.changes) step.changes.push_back(std::move(change));
    }
    m_pending.clear();
    m_stack.push(new CImageEditCommand(std::move(step), m_gesture, [this] {
        emit imageRestored();
        Recount();
    }));
    Recount();
}

void CEditHistory::OnReplaced() {
    m_pending.clear();
    m_stack.clear();
    m_readImage = fx::EditedImage();
    Recount();
}

void CEditHistory::ProcessorHoldsEditorImage() {
    Flush();
    m_readImage = fx::EditedImage();
    Recount();
}

void CEditHistory::Undo() {
    Flush();
    EndGesture();
    m_stack.undo();
}

void CEditHistory::Redo() {
    Flush();
    EndGesture();
    m_stack.redo();
}

void CEditHistory::EndGesture() {
    Flush();
    ++m_gesture;
}

void CEditHistory::Relabel() {
    Flush();
    for (int i = 0; i < m_stack.count(); ++i)
        if (auto* step = dynamic_cast<const CImageEditCommand*>(m_stack.command(i)))
            const_cast<CImageEditCommand*>(step)->Relabel();
    // The stack tells its actions about the top step's text only on a change.
    emit m_stack.undoTextChanged(m_stack.undoText());
    emit m_stack.redoTextChanged(m_stack.redoText());
}

bool CEditHistory::DiffersFromFile() const {
    return !m_openFile.isEmpty() && fx::EditedImage() != m_fileImage;
}

void CEditHistory::SetOpenFile(const QString& path) {
    Flush();
    m_openFile = path;
    m_fileImage = fx::EditedImage();
    emit changed();
}

void CEditHistory::Recount() {
    const std::vector<uint8_t> now = fx::EditedImage();
    m_changedSinceRead = fx::CountDifferences(m_readImage.data(), now.data());
    emit changed();
}

bool CEditHistory::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        EndGesture();
        break;
    case QEvent::KeyRelease:
        if (!static_cast<QKeyEvent*>(event)->isAutoRepeat()) EndGesture();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
