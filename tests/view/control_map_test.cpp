// Which control shows which byte: the view's table against the map.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "view/control_map.h"

namespace {

using torv::Kind;
using torv::MapAt;

TEST(ListItems, DurationsAndNames)
{
    const auto pauses = torv::ListItems(torv::controls::ComboBox(5));
    ASSERT_EQ(pauses.size(), 109u);
    EXPECT_EQ(pauses[0], "0:00");
    EXPECT_EQ(pauses[1], "0:10");
    EXPECT_EQ(pauses[6], "1:00");
    EXPECT_EQ(pauses[42], "7:00");
    EXPECT_EQ(pauses[107], "17:50");
    EXPECT_EQ(pauses[108], "18:00");
    EXPECT_EQ(torv::ListItems(torv::controls::ComboBox(1))[1], "9 600 b/s");
    EXPECT_EQ(torv::ListItems(torv::controls::ComboBox(4))[0], "WYŁĄCZONY");
}

TEST(ControlMap, ControlsFindTheirBytes)
{
    EXPECT_EQ(torv::MapByControl(torv::controls::Edit(47))->byte, 157);
    EXPECT_EQ(torv::MapByControl(torv::controls::Edit(4))->byte, 118);
    EXPECT_EQ(torv::MapByControl(torv::controls::Label(5))->byte, 160) << "a word by its first byte";
    EXPECT_EQ(torv::MapByControl(torv::controls::ComboBox(2)), nullptr) << "the port list shows no byte";
    EXPECT_EQ(torv::MapByControl(torv::Control{}), nullptr);
    EXPECT_TRUE(torv::ListItems(torv::controls::ComboBox(3)).empty());

    // A control shows one byte only, so the view and the write-back cannot mix them up.
    std::set<std::string> controls;
    for (const torv::ControlRow& r : torv::ControlMap())
        if (r.control.kind != torv::ControlClass::Label) {
            EXPECT_TRUE(controls.insert(r.control.name()).second) << r.control;
        }
}

// Every byte the operator sees as a value has exactly one row, and no other
// byte has one: a byte added to the map shown but without a control (or the
// other way round) fails here.
TEST(ControlMap, ARowForEveryShownByteAndNoOther)
{
    std::map<int, int> rows;
    for (const torv::ControlRow& r : torv::ControlMap()) {
        ++rows[r.byte];
        EXPECT_TRUE(r.control.valid()) << r.byte;
        EXPECT_EQ(torv::ControlRowOf(r.byte), &r);
    }
    for (const torv::MapEntry& e : torv::MemoryMap())
        EXPECT_EQ(rows.contains(e.byte) ? rows.at(e.byte) : 0, torv::Shown(e) ? 1 : 0) << e.byte << ' ' << e.name;
    EXPECT_EQ(rows.size(), torv::kControlRows);
}

// Fields with arrows have a spinner, and only they: lists, the check box
// and the labels have none.
TEST(ControlMap, SpinnersBelongToFields)
{
    for (const torv::ControlRow& r : torv::ControlMap()) {
        const bool field = r.control.kind == torv::ControlClass::Field;
        EXPECT_EQ(r.spinner.valid(), field) << r.control;
        if (field) {
            EXPECT_EQ(r.spinner.number, r.control.number) << r.control;
        }
        EXPECT_EQ(torv::SpinnerOf(r.byte), r.spinner);
        EXPECT_EQ(torv::ControlOf(r.byte), r.control);
    }
    EXPECT_EQ(torv::ControlOf(torv::bytes::kOutputBits), torv::Control{});
    EXPECT_EQ(torv::SpinnerOf(torv::bytes::kBaudSet), torv::Control{});
}

TEST(ControlMap, WriteBackRowsReadTheirControls)
{
    const auto& rows = torv::WriteBackTable();
    EXPECT_EQ(torv::ControlOf(rows[8].byte).name(), "Edit7");
    EXPECT_EQ(torv::ControlOf(rows[12].byte).name(), "ComboBox5");
    EXPECT_EQ(torv::ControlOf(rows[18].byte).name(), "Edit18");
    EXPECT_EQ(torv::ControlOf(rows[47].byte).name(), "Edit47");
    for (const torv::WriteBackRow& row : rows)
        EXPECT_TRUE(torv::ControlOf(row.byte).valid()) << "row " << row.number;
}

} // namespace
