#include "session/arrangement_companion.h"

#include "model/message_boxes.h"

namespace tarvelo {

std::string describeCompanionFault(const std::string& companionPath, const CompanionFault& fault) {
    std::string text;
    switch (fault.kind) {
        case CompanionFault::Kind::CannotRead:
            text = "追加設定ファイルを読み込めませんでした。\n";
            break;
        case CompanionFault::Kind::Damaged:
            text = "追加設定ファイルが壊れています。\n";
            break;
        case CompanionFault::Kind::NewerVersion:
            text = "追加設定ファイルはこのバージョンの Tarvelo より新しい形式です。\n";
            break;
        case CompanionFault::Kind::PartCountMismatch:
            text =
                "追加設定ファイルのパート数が配置ファイルと合いません"
                "（配置ファイルがほかで編集された可能性があります）。\n";
            break;
    }
    text += companionPath;
    text += "\n";
    text += fault.detail;
    text +=
        "\n配置は開きましたが、ペダル・ホイールの追従とパニックは既定（オフ）です。"
        "このファイルは保存するまでそのまま残ります。";
    return text;
}

void loadCompanionSettings(const std::string& path, PartList& parts, MessageBoxes& boxes) {
    const CompanionReadResult read = readCompanionFile(path, parts.partCount());
    if (read.settings)
        applyCompanionSettings(*read.settings, parts);
    if (read.fault) {
        boxes.show(describeCompanionFault(companionPath(path), *read.fault), "", MessageButtons::Ok,
                   MessageIcon::Warning);
    }
}

}  // namespace tarvelo
