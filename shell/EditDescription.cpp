#include "shell/EditDescription.h"

#include "state/ParamNames.h"
#include "state/PresetDiff.h"

#include <algorithm>
#include <vector>

namespace {

QString Pick(int language, const char* chinese, const char* english) {
    return QString::fromUtf8(language == fx::kLanguageChinese ? chinese : english);
}

// The named parameters whose bytes differ, in the order they were changed.
std::vector<const fx::ParamItem*> ChangedItems(const std::vector<fx::ImageBytes>& changes,
                                               const std::vector<uint8_t>& before,
                                               const std::vector<uint8_t>& after) {
    std::vector<const fx::ParamItem*> items;
    for (const fx::ImageBytes& change : changes) {
        const int end = change.address + static_cast<int>(change.after.size());
        for (int offset = change.address; offset < end;) {
            const fx::ParamItem* item = fx::FindParamItemAt(offset);
            if (item == nullptr) {
                ++offset;
                continue;
            }
            const bool differs = !std::equal(before.begin() + item->offset,
                                             before.begin() + item->offset + item->size,
                                             after.begin() + item->offset);
            if (differs && std::find(items.begin(), items.end(), item) == items.end())
                items.push_back(item);
            offset = item->offset + item->size;
        }
    }
    return items;
}

QString ValueChange(const fx::ParamItem& item, const std::vector<uint8_t>& before,
                    const std::vector<uint8_t>& after, int language) {
    const fx::ParamValue from = fx::ReadParamValue(item, before.data(), language);
    const fx::ParamValue to = fx::ReadParamValue(item, after.data(), language);
    if (from.band && to.band)
        return QString::fromStdString(fx::EqBandChangeText(*from.band, *to.band, language));
    return QString::fromStdString(from.text + " → " + to.text);
}

QString WholeEqText(const fx::ImageEdit& edit, int language) {
    const QString set = QString::fromStdString(fx::EqSetName(edit.eqSet, language));
    switch (edit.kind) {
    case fx::ImageEditKind::EqReset:
        return Pick(language, "重置%1", "Reset %1").arg(set);
    case fx::ImageEditKind::EqPaste:
        return Pick(language, "粘贴到%1", "Paste into %1").arg(set);
    case fx::ImageEditKind::EqImport:
        return Pick(language, "导入滤波器到%1", "Import filters into %1").arg(set);
    case fx::ImageEditKind::EqAutoFit:
        return Pick(language, "自动均衡%1", "Auto EQ of %1").arg(set);
    case fx::ImageEditKind::Change:
        break;
    }
    return {};
}

} // namespace

QString DescribeImageEdit(const fx::ImageEdit& edit, int language) {
    if (edit.kind != fx::ImageEditKind::Change) return WholeEqText(edit, language);
    const bool machineSettings =
        std::any_of(edit.changes.begin(), edit.changes.end(), [](const fx::ImageBytes& change) {
            return change.address >= fx::kMachineSettingsAddress;
        });
    if (machineSettings) return Pick(language, "机器设置", "Machine settings");
    // The image before and after the edit, as far as its bytes tell.
    std::vector<uint8_t> before = fx::EditedImage();
    std::vector<uint8_t> after = before;
    for (auto change = edit.changes.rbegin(); change != edit.changes.rend(); ++change)
        std::copy(change->before.begin(), change->before.end(), before.begin() + change->address);
    for (const fx::ImageBytes& change : edit.changes)
        std::copy(change.after.begin(), change.after.end(), after.begin() + change.address);
    const std::vector<const fx::ParamItem*> items = ChangedItems(edit.changes, before, after);
    if (items.empty()) return {};
    const fx::ParamItem& first = *items.front();
    QString text = QString::fromStdString(first.Name(language)) + QStringLiteral(": ") +
                   ValueChange(first, before, after, language);
    if (items.size() > 1) text += Pick(language, "（另%1项）", " (+%1 more)").arg(items.size() - 1);
    return text;
}
