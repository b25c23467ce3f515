#include "model/arrangement_json.h"

#include <gtest/gtest.h>

namespace tarvelo {
namespace {

TEST(ArrangementJson, EveryFieldAndMessageIsListed) {
    StoredArrangement a;
    a.nextPartNumber = 4;
    a.inputDeviceName = "Keys \"1\"";
    StoredPart p;
    p.part.name = "ピアノ\\";
    p.part.noteShift = -12;
    p.part.channel = 3;
    p.part.reserved = 7;
    p.part.lowKey = 0;
    p.part.highKey = 127;
    p.outputDeviceName = "Synth\n";
    p.messages.append(InitialMessage{0, 0xB0, 7, 100, {}, 0});
    p.messages.append(InitialMessage{5, 0xF0, -1, -1, {0xF0, 0x0A, 0xF7}, 3});
    a.parts.push_back(p);
    StoredPart empty;
    empty.part.name = "E";
    a.parts.push_back(empty);
    a.targetPart = 0;
    a.targetDeviceName = "Synth";
    a.targetChannel = 3;

    EXPECT_EQ(arrangementToJson(a), R"({
  "partCount": 2,
  "highestKey": 127,
  "lowestKey": 0,
  "nextPartNumber": 4,
  "inputDevice": "Keys \"1\"",
  "parts": [
    {
      "name": "ピアノ\\",
      "outputDevice": "Synth\n",
      "noteShift": -12,
      "channel": 3,
      "reserved": 7,
      "lowKey": 0,
      "highKey": 127,
      "messages": [
        {
          "type": 0,
          "status": 176,
          "data1": 7,
          "data2": 100,
          "sysexLength": 0,
          "sysexData": ""
        },
        {
          "type": 5,
          "status": 240,
          "data1": -1,
          "data2": -1,
          "sysexLength": 3,
          "sysexData": "F0 0A F7"
        }
      ]
    },
    {
      "name": "E",
      "outputDevice": "",
      "noteShift": 0,
      "channel": 0,
      "reserved": 0,
      "lowKey": 0,
      "highKey": 0,
      "messages": []
    }
  ],
  "target": {
    "part": 0,
    "device": "Synth",
    "channel": 3
  }
}
)");
}

TEST(ArrangementJson, ControlCharactersAndBrokenTextStayValidJson) {
    StoredArrangement a;
    a.parts.push_back(StoredPart{});
    a.parts[0].part.name = std::string("a\x01\x1F\x7F") + "\xFF";
    const std::string json = arrangementToJson(a);
    // DEL needs no escape in JSON and is written as it is.
    EXPECT_NE(json.find(R"("name": "a\u0001\u001f)"
                        "\x7F\xEF\xBF\xBD\""),
              std::string::npos)
        << json;
}

TEST(ArrangementJson, CompanionSettingsFollowEachPartAndTheTarget) {
    StoredArrangement a;
    a.parts.resize(1);
    const CompanionSettings settings{{{true, false}}, PanicTrigger{}};
    const std::string json = arrangementToJson(a, &settings);
    EXPECT_NE(json.find(R"("messages": [],
      "followsPedals": true,
      "followsWheels": false
    }
  ],)"),
              std::string::npos)
        << json;
    EXPECT_TRUE(json.ends_with(
        "  },\n  \"panic\": {\n    \"controller\": null,\n    \"value\": 127\n  }\n}\n"))
        << json;
}

}  // namespace
}  // namespace tarvelo
