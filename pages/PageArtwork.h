#pragma once

#include <QImage>
#include <QString>

// The pages' pictures (resources/pages), from the library's resources: a
// static library has to register them itself, which the first call does.
void InitPageArtwork();
// ":/pages/<name>" after the registration.
QString PageArtPath(const QString& name);
QImage PageArt(const QString& name);
