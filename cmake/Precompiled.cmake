# Precompiled headers: the standard library, Qt and GoogleTest headers make
# up most of what every source file parses, GoogleTest and Qt above all (a
# GUI test spent ten seconds in them before a line of its own). Each target
# precompiles the set that fits it, or takes the one another target made with
# the same flags (fx_precompile_like), so each set is built once per build
# configuration.
option(FX_PCH "Precompile the standard library, Qt and GoogleTest headers" ON)

set(FX_PCH_STD
    <algorithm> <array> <atomic> <chrono> <cmath> <condition_variable> <cstdint> <cstdio>
    <cstring> <deque> <functional> <memory> <mutex> <string> <thread> <vector>)
set(FX_PCH_QT
    <QAbstractButton> <QApplication> <QCheckBox> <QColor> <QComboBox> <QDialog> <QDir>
    <QGroupBox> <QImage> <QKeyEvent> <QLabel> <QLineEdit> <QMenu> <QMessageBox> <QMouseEvent>
    <QObject> <QPainter> <QPainterPath> <QPixmap> <QPointer> <QPushButton> <QRadioButton>
    <QString> <QTimer> <QVBoxLayout> <QWheelEvent> <QWidget>)
set(FX_PCH_TEST <gtest/gtest.h>)

# fx_precompile(target STD|QT|TEST...): precompiles the named header sets.
function(fx_precompile target)
    if(NOT FX_PCH)
        return()
    endif()
    set(headers)
    foreach(set ${ARGN})
        list(APPEND headers ${FX_PCH_${set}})
    endforeach()
    target_precompile_headers(${target} PRIVATE ${headers})
endfunction()

# fx_precompile_like(target owner): uses the headers owner precompiled.
function(fx_precompile_like target owner)
    if(FX_PCH)
        target_precompile_headers(${target} REUSE_FROM ${owner})
    endif()
endfunction()
