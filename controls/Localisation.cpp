#include "controls/Localisation.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QTranslator>
#include <QWidget>

#include <memory>

int g_Language = 0;

// The language files live in the library's resources; a static library must
// register them itself.
static void InitLanguageResources() {
    Q_INIT_RESOURCE(resources);
}

namespace {
constexpr int kMaxValueLength = 1000;
constexpr const char* kCtrlIdProperty = "ctrlId";

CLanguageFile& CurrentFileStorage() {
    static CLanguageFile file;
    return file;
}

// Qt's own texts in Chinese; English needs none (Qt's texts are English).
std::unique_ptr<QTranslator>& QtTranslator() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

void ApplyQtTranslations(int language) {
    std::unique_ptr<QTranslator>& installed = QtTranslator();
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    if (language == 1) return;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(translator.get());
    installed = std::move(translator);
}

void SetWidgetText(QWidget* widget, const QString& text) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(text);
    else if (auto* box = qobject_cast<QGroupBox*>(widget))
        box->setTitle(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(text);
    else
        widget->setWindowTitle(text);
}
} // namespace

QString Tr(const char* chinese, const char* english) {
    return QString::fromUtf8(g_Language == 1 ? english : chinese);
}

void SetCtrlId(QWidget* widget, int id) {
    widget->setProperty(kCtrlIdProperty, id);
}

int CtrlId(const QWidget* widget) {
    const QVariant id = widget->property(kCtrlIdProperty);
    return id.isValid() ? id.toInt() : 0;
}

CLanguageFile CLanguageFile::FromText(const QString& text) {
    CLanguageFile file;
    bool inStringSection = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line.remove(QLatin1Char('\r'));
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("//")) ||
            trimmed.startsWith(QLatin1Char(';')))
            continue;
        if (trimmed.startsWith(QLatin1Char('['))) {
            inStringSection = trimmed.compare(QLatin1String("[String]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inStringSection || equals <= 0) continue;
        const QString key = line.left(equals).trimmed();
        // Values keep their inner and trailing spaces ("Learn remoter control ").
        file.m_values.insert(key, line.mid(equals + 1).left(kMaxValueLength));
    }
    return file;
}

CLanguageFile CLanguageFile::ForLanguage(int language) {
    static const bool initialised = (InitLanguageResources(), true);
    (void)initialised;
    QFile resource(language == 1 ? QStringLiteral(":/lang/English.ini")
                                 : QStringLiteral(":/lang/Chinese.ini"));
    if (!resource.open(QIODevice::ReadOnly)) return CLanguageFile();
    return FromText(QString::fromUtf8(resource.readAll()));
}

QString CLanguageFile::Value(const QString& key) const {
    // Lookups ignore the case of the key, as the profile lookup did.
    auto it = m_values.constFind(key);
    if (it != m_values.constEnd()) return it.value();
    for (auto entry = m_values.constBegin(); entry != m_values.constEnd(); ++entry)
        if (entry.key().compare(key, Qt::CaseInsensitive) == 0) return entry.value();
    return QString();
}

void LoadCurrentLanguageFile() {
    CurrentFileStorage() = CLanguageFile::ForLanguage(g_Language);
    ApplyQtTranslations(g_Language);
}

bool QtTextsInChinese() {
    return QtTranslator() != nullptr;
}

const CLanguageFile& CurrentLanguageFile() {
    return CurrentFileStorage();
}

void LoadDialogTexts(QWidget* dialog, int resource) {
    if (!dialog) return;
    const CLanguageFile& file = CurrentLanguageFile();
    const QString title = file.Value(QStringLiteral("IDD%1_title").arg(resource));
    if (!title.isEmpty()) dialog->setWindowTitle(title);
    const auto children = dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        const int id = CtrlId(child);
        if (id == 0) continue;
        const QString text = file.Value(QStringLiteral("IDD%1_%2").arg(resource).arg(id));
        if (!text.isEmpty()) SetWidgetText(child, text);
    }
}
