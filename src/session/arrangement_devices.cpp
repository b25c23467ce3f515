#include "session/arrangement_devices.h"

#include "model/message_boxes.h"

namespace tarvelo {

std::string missingDeviceText(std::string_view name) {
    std::string text(name);
    text += "\nが見つかりませんでした。";
    return text;
}

StoredArrangement storedArrangementOf(const PartList& parts, const MidiDeviceSet& devices) {
    StoredArrangement a;
    a.highestKey = parts.highestKey();
    a.lowestKey = parts.lowestKey();
    a.nextPartNumber = parts.nextPartNumber();
    a.inputDeviceName = devices.inputDevice() == NO_INPUT
                            ? std::string(kNoInputDeviceName)
                            : devices.deviceName(false, devices.inputDevice());
    for (int i = 0; i < parts.partCount(); ++i) {
        StoredPart sp;
        sp.part = parts.partAt(i);
        sp.outputDeviceName = devices.deviceName(true, sp.part.outputDevice);
        sp.messages = parts.messageListAt(i);
        a.parts.push_back(std::move(sp));
    }
    a.targetPart = parts.targetPart();
    a.targetDeviceName = devices.deviceName(true, parts.targetDevice());
    a.targetChannel = parts.targetChannel();
    return a;
}

ResolvedArrangement resolveDevices(const StoredArrangement& stored, MidiDeviceSet& devices,
                                   MessageBoxes& boxes) {
    enum class Missing { ReportAndKeep, Keep, UseDeviceZero, ReportAndUseDeviceZero };
    const auto resolve = [&](const std::string& name, bool isOutput, Missing missing) {
        const int index = isOutput ? devices.findOutputByName(name) : devices.findInputByName(name);
        if (index >= 0 && devices.isPresent(isOutput, index))
            return index;
        // A name met again is reported again: one box per occurrence.
        if (missing == Missing::ReportAndKeep || missing == Missing::ReportAndUseDeviceZero)
            boxes.show(missingDeviceText(name), kDeviceOpenErrorCaption, MessageButtons::Ok,
                       MessageIcon::None);
        if (missing == Missing::UseDeviceZero || missing == Missing::ReportAndUseDeviceZero)
            return 0;
        return index >= 0
                   ? index
                   : (isOutput ? devices.addAbsentOutput(name) : devices.addAbsentInput(name));
    };

    ResolvedArrangement r;
    r.inputDevice =
        resolve(stored.inputDeviceName, false,
                stored.inputDeviceName == kNoInputDeviceName ? Missing::ReportAndUseDeviceZero
                                                             : Missing::ReportAndKeep);
    std::vector<Part> parts;
    std::vector<InitialMessageList> lists;
    for (const StoredPart& sp : stored.parts) {
        Part p = sp.part;
        p.outputDevice = resolve(sp.outputDeviceName, true, Missing::ReportAndKeep);
        parts.push_back(std::move(p));
        lists.push_back(sp.messages);
    }
    const int targetDevice =
        resolve(stored.targetDeviceName, true,
                stored.targetPart >= 0 ? Missing::Keep : Missing::UseDeviceZero);
    r.parts =
        PartList(std::move(parts), std::move(lists), stored.lowestKey, stored.highestKey,
                 stored.nextPartNumber, stored.targetPart, targetDevice, stored.targetChannel);
    return r;
}

}  // namespace tarvelo
