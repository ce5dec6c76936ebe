#include "KittyGraphicsControl.h"

#include <gtest/gtest.h>

#include <string>

using namespace Tessaline;

namespace {

// The fields that differ from the defaults, as "key=value" in table order.
std::string describe(const KittyGraphicsControl& c) {
    const KittyGraphicsControl d;
    std::string out;
    auto add = [&](const char* key, const std::string& value) {
        if (!out.empty()) out += ' ';
        out += key;
        out += '=';
        out += value;
    };
    auto integer = [&](const char* key, int64_t value, int64_t defaultValue) {
        if (value != defaultValue) add(key, std::to_string(value));
    };
    auto id = [&](const char* key, const std::optional<uint32_t>& value) {
        if (value) add(key, std::to_string(*value));
    };
    auto letter = [&](const char* key, const std::optional<char>& value, std::optional<char> defaultValue) {
        if (value != defaultValue) add(key, value ? std::string(1, *value) : "none");
    };
    letter("a", c.action, d.action);
    integer("q", c.suppressResponses, 0);
    integer("f", c.format, 32);
    letter("t", c.transmission, d.transmission);
    integer("s", c.width, 0);
    integer("v", c.height, 0);
    integer("x", c.cropX, 0);
    integer("y", c.cropY, 0);
    integer("w", c.cropWidth, 0);
    integer("h", c.cropHeight, 0);
    integer("S", c.dataSize, 0);
    integer("O", c.dataOffset, 0);
    id("i", c.imageId);
    id("I", c.imageNumber);
    id("p", c.placementId);
    id("P", c.parentImageId);
    id("Q", c.parentPlacementId);
    integer("H", c.offsetH, 0);
    integer("V", c.offsetV, 0);
    integer("X", c.pixelOffsetX, 0);
    integer("Y", c.pixelOffsetY, 0);
    integer("U", c.unicodePlaceholder, 0);
    integer("z", c.zIndex, 0);
    integer("m", c.more, 0);
    letter("o", c.compression, std::nullopt);
    integer("c", c.columns, 0);
    integer("r", c.rows, 0);
    integer("C", c.cursorPolicy, 0);
    letter("d", c.deleteMode, std::nullopt);
    return out;
}

} // namespace

TEST(KittyGraphicsControl, ParsesControlBlocks) {
    struct Case {
        const char* name;
        std::string content;
        std::string expected;
        std::string payload;
    };
    const Case cases[] = {
        {"empty", "", "", ""},
        {"every key",
         "a=T,q=2,f=24,t=f,s=3,v=4,x=5,y=6,w=7,h=8,S=9,O=10,i=11,I=12,p=13,P=14,Q=15,H=-16,V=17,X=18,Y=19,U="
         "1,"
         "z=-20,m=1,o=z,c=21,r=22,C=1,d=A",
         "a=T q=2 f=24 t=f s=3 v=4 x=5 y=6 w=7 h=8 S=9 O=10 i=11 I=12 p=13 P=14 Q=15 H=-16 V=17 X=18 Y=19 "
         "U=1 "
         "z=-20 o=z c=21 r=22 C=1 d=A",
         ""},
        {"payload after first semicolon", "a=q,i=31;AAA;BBB", "a=q i=31", "AAA;BBB"},
        {"no control block", ";abcd", "", "abcd"},
        {"extra characters of a letter field", "a=Tx,t=dd", "a=T", ""},
        {"empty letter values", "a=,o=,d=", "", ""},
        {"duplicate key keeps the last", "i=1,i=2", "i=2", ""},
        {"empty pieces and pieces without =", ",,i=3,,bare,", "i=3", ""},
        {"long and unknown keys", "ab=1,=2,k=3,ii=4", "", ""},
        {"value with =", "f==5,i=7", "i=7", ""},
        {"non-ASCII piece ignored", "i=5,i=6\xc3\xa9", "i=5", ""},
        {"integer with plus", "s=+12,v=-3", "s=12 v=-3", ""},
        {"malformed integers", "s= 1,v=1x,x=+-1,y=-,w=", "", ""},
        {"int64 extremes", "z=-9223372036854775808,x=9223372036854775807",
         "x=9223372036854775807 z=-9223372036854775808", ""},
        {"int64 overflow", "x=9223372036854775808", "", ""},
        {"ids: zero, negative, overflow", "i=0,I=-1,p=4294967296,P=+0", "", ""},
        {"ids: bounds", "i=1,I=4294967295,p=+7", "i=1 I=4294967295 p=7", ""},
        {"more forced to 0 for files", "a=t,t=f,m=1", "t=f", ""},
        {"more kept for direct data", "m=1", "m=1", ""},
        {"more of any value", "m=2", "m=2", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(c.content.data()), c.content.size());
        KittyGraphicsCommand command = parseKittyGraphicsControl(bytes);
        EXPECT_EQ(describe(command.control), c.expected);
        EXPECT_EQ(std::string(command.payload.begin(), command.payload.end()), c.payload);
    }
}
