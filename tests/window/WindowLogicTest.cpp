// The window's logic driven as a user drives the window, with no toolkit: a
// face that records what each control shows, answers the file dialogs from a
// script and keeps every box. What counts is what the user then sees, the
// boxes and the files a run writes. The same tests run under Wine.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <sstream>
#include <string_view>

#include "support/FaultyFileSystem.h"
#include "support/TestSupport.h"
#include "window/WindowLogic.h"
#include "window/WindowStart.h"
#include "workspace/Folders.h"
#include "workspace/Staging.h"

namespace marrowgate::window {
namespace {

using test::crlf;
using test::library_bytes;
using test::Lines;
using test::part;
using test::TempDir;
using test::write_file;
namespace fs = std::filesystem;

const std::string kWarningText = "This file is not a library of the expected kind.";

// Whether `text` is `expected`, where each "…" in `expected` stands for any
// text: the pieces between them must come in order, the first at the start
// and the last at the end. The leftmost place of each middle piece leaves the
// most room for the rest.
bool matches(std::string_view text, std::string_view expected) {
    const std::string_view any = "…";
    const std::size_t first_any = expected.find(any);
    if (first_any == std::string_view::npos) return text == expected;
    const std::string_view last = expected.substr(expected.rfind(any) + any.size());
    if (!text.starts_with(expected.substr(0, first_any)) || text.size() < first_any + last.size() ||
        !text.ends_with(last))
        return false;
    std::size_t at = first_any;  // in text
    const std::size_t room = text.size() - last.size();
    for (std::size_t from = first_any + any.size(), next; (next = expected.find(any, from)) != std::string_view::npos;
         from = next + any.size()) {
        const std::string_view piece = expected.substr(from, next - from);
        const std::size_t found = text.substr(0, room).find(piece, at);
        if (found == std::string_view::npos) return false;
        at = found + piece.size();
    }
    return true;
}

// A face that only remembers: the state of every control, the rows, the boxes.
class RecordingFace final : public WindowFace {
public:
    struct Shown {
        std::string caption;
        bool enabled = true;
        bool visible = true;
        bool checked = false;
        std::string tooltip;
    };

    void set_caption(Control c, const std::string& text) override { at(c).caption = text; }
    void set_enabled(Control c, bool on) override { at(c).enabled = on; }
    void set_visible(Control c, bool on) override { at(c).visible = on; }
    void set_checked(Control c, bool on) override { at(c).checked = on; }
    void set_tooltip(Control c, const std::string& text) override { at(c).tooltip = text; }
    void set_focus(Control c) override { focus = c; }
    void add_column(const std::string& text, int twips) override {
        columns.push_back(text + " " + std::to_string(twips));
    }
    void clear_rows() override { rows.clear(); }
    void append_row(const std::string& name, const std::string& count, const std::string&) override {
        rows.push_back(name + " " + count);
    }
    std::optional<int> selected_row() override { return selected; }
    void set_hourglass(bool busy) override { hourglass = busy; }
    std::optional<fs::path> open_file(const FileQuestion& question) override {
        questions.push_back(question);
        if (answers.empty()) return std::nullopt;
        const auto next = answers.front();
        answers.pop_front();
        return next;
    }
    void message_box(BoxIcon icon, const std::string& title, const std::string& text) override {
        boxes.push_back(std::string(icon == BoxIcon::Warning ? "warning " : "error ") + title + ": " + text);
        if (on_box) on_box();
    }
    void details_box(const std::string& title, const std::string& text) override {
        boxes.push_back("details " + title + ": " + text);
    }
    bool open_folder(const fs::path& folder) override {
        opened.push_back(folder);
        return file_manager;
    }
    void open_url(const std::string& address) override { urls.push_back(address); }
    std::optional<std::string> recall(const std::string& key) override {
        const auto found = memory.find(key);
        if (found == memory.end()) return std::nullopt;
        return found->second;
    }
    void remember(const std::string& key, const std::string& value) override { memory[key] = value; }
    void Internet_Detection() override { ++news_asked; }
    void post(std::function<void()> call) override {
        std::lock_guard lock(mutex);
        posted.push_back(std::move(call));
        arrived.notify_all();
    }
    void close_window() override { closed = logic->Form_QueryUnload(); }

    // Runs what the run posted until it has ended.
    void settle() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (logic->running()) {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(arrived.wait_until(lock, deadline, [this] { return !posted.empty(); })) << "the run hangs";
            auto call = std::move(posted.front());
            posted.pop_front();
            lock.unlock();
            call();
        }
        std::unique_lock lock(mutex);
        while (!posted.empty()) {
            auto call = std::move(posted.front());
            posted.pop_front();
            lock.unlock();
            call();
            lock.lock();
        }
    }

    Shown& at(Control c) { return controls[static_cast<std::size_t>(c)]; }

    WindowLogic* logic = nullptr;
    std::array<Shown, kControls> controls{};
    std::optional<Control> focus;
    std::vector<std::string> columns, rows, boxes, urls;
    std::optional<int> selected;
    bool hourglass = false;
    std::deque<std::optional<fs::path>> answers;
    std::vector<FileQuestion> questions;
    std::function<void()> on_box;
    std::vector<fs::path> opened;
    bool file_manager = true;
    std::map<std::string, std::string> memory;
    int news_asked = 0;
    bool closed = false;
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<std::function<void()>> posted;
};

// Parts named P01, P02, ...
std::vector<Lines> numbered_parts(int parts) {
    std::vector<Lines> blocks;
    for (int i = 1; i <= parts; ++i) {
        std::string name = "P" + std::string(i < 10 ? "0" : "") + std::to_string(i);
        blocks.push_back(part(name + " DIP8 I TTL 3 1 0 0 0"));
    }
    return blocks;
}

// One window on a fresh application folder, and the files a user picks:
// a.p to e.p, libraries of 10, 5, 1, 2 and 3 parts; t.p, three parts of two
// keys under every option (initials A and C, families TTL and CMOS, decals
// DIP8 and SO8 of 8 and 14 pads in d.d); plain.p without a marker line, v9.p
// and v9.d of another version, and a folder folder.p.
struct Window {
    explicit Window(bool message_file = true) {
        if (message_file)
            write_file(app / "marrowgate_msg.dat", "0;Vorlane Marrowgate;\r\n1;" + kWarningText + ";\r\n");
        for (const auto& [name, parts] : {std::pair{"a.p", 10}, {"b.p", 5}, {"c.p", 1}, {"d.p", 2}, {"e.p", 3}})
            put(name, library_bytes(numbered_parts(parts)));
        put("t.p", library_bytes({part("AB1 DIP8 I TTL 3 1 0 0 0"), part("CD2 SO8 I CMOS 3 1 0 0 0"),
                                  part("AX3 DIP8 I TTL 3 1 0 0 0")}));
        put("d.d", crlf({kDecalMarkerV4, "", "DIP8 M 0 0 0 2 3 0 8 1 0", "", "SO8 M 0 0 0 2 3 0 14 1 0", "",
                         "*END*"}));
        put("plain.p", crlf({"just text"}) + crlf(part("X1 DIP8 I TTL 3 1 0 0 0")));
        put("v9.p", library_bytes({part("X1 DIP8 I TTL 3 1 0 0 0")}, "*PADS-LIBRARY-PART-TYPES-V9*"));
        put("v9.d", crlf({"*PADS-LIBRARY-PCB-DECALS-V9*", "", "DIP8 M 0 0 0 2 3 0 8 1 0", "", "*END*"}));
        fs::create_directory(inputs / "folder.p");
        open();
    }
    // A new window, as in the next session: what the face remembers stays.
    void open(FileSystem& files = real_file_system()) {
        logic.reset();
        face.logic = nullptr;
        logic = std::make_unique<WindowLogic>(face, WindowSettings{app.path(), "http://www.vorlane.example", {}}, files);
        face.logic = logic.get();
        logic->Form_Load();
    }
    void put(const std::string& name, const std::string& bytes) { write_file(inputs / name, bytes); }
    fs::path input(const std::string& name) const { return inputs / name; }

    // Does what a user does, action after action:
    //   "+:a.p"     a click on "+", and a.p of the inputs chosen in the file
    //               dialog ("+" alone: the dialog cancelled); "File:d.d" and
    //               "Execute:d.d" the same with "File ..." and "Execute"
    //   "-", "Execute", "Details", "Open", "Exit"  a click on that button
    //   "option:3"  a click on an option; "row:1" a click on a row
    //   "any"       a click on "Accept every PADS version"
    //   "drop:a.p,b.p"  files dropped on the list
    // Returns the boxes shown (the folder of the inputs left out of them) and,
    // after "Execute", the status line once the run has ended.
    std::vector<std::string> act(const std::string& actions) {
        std::vector<std::string> seen;
        std::istringstream words(actions);
        for (std::string action; words >> action;) {
            const std::string verb = action.substr(0, action.find(':'));
            const std::string what = action.find(':') == std::string::npos ? "" : action.substr(action.find(':') + 1);
            const auto boxes_before = face.boxes.size();
            if (!what.empty() && (verb == "+" || verb == "File" || verb == "Execute"))
                face.answers.push_back(input(what));
            if (verb == "any") {
                if (clickable(Control::chkAnyVersion))
                    logic->chkAnyVersion_Click(!face.at(Control::chkAnyVersion).checked);
            } else if (verb == "option") {
                if (clickable(option_control(std::stoi(what)))) logic->Option1_Click(std::stoi(what));
            } else if (verb == "row") {
                face.selected = std::stoi(what);
            } else if (verb == "drop") {
                std::vector<fs::path> files;
                std::istringstream names(what);
                for (std::string name; std::getline(names, name, ',');) files.push_back(input(name));
                if (logic->takes_files()) {
                    logic->ListView1_OLEDragDrop(files);
                } else {
                    seen.push_back("drop refused");
                }
            } else {
                static const std::map<std::string, std::pair<Control, void (WindowLogic::*)()>> buttons{
                    {"+", {Control::Command3, &WindowLogic::Command3_Click}},
                    {"-", {Control::Command4, &WindowLogic::Command4_Click}},
                    {"File", {Control::Command5, &WindowLogic::Command5_Click}},
                    {"Execute", {Control::Command1, &WindowLogic::Command1_Click}},
                    {"Exit", {Control::Command2, &WindowLogic::Command2_Click}},
                    {"Details", {Control::cmdDetails, &WindowLogic::cmdDetails_Click}},
                    {"Open", {Control::cmdOpenFolder, &WindowLogic::cmdOpenFolder_Click}},
                };
                const auto& [control, handler] = buttons.at(verb);
                if (clickable(control)) (logic.get()->*handler)();
                face.settle();
                if (verb == "Execute") seen.push_back(status());
            }
            face.answers.clear();  // not taken when the button was disabled
            for (auto box = boxes_before; box < face.boxes.size(); ++box) {
                std::string text = face.boxes[box];
                const std::string folder = display_path(inputs / "");
                for (std::size_t at; (at = text.find(folder)) != std::string::npos;) text.erase(at, folder.size());
                seen.push_back(text);
            }
        }
        return seen;
    }
    bool clickable(Control c) { return face.at(c).visible && face.at(c).enabled; }

    // What the window shows: "any" when every PADS version is accepted, the
    // rows of the list, the buttons shown and enabled ("+ - options File
    // Execute Open Details"; "options(n)" when n of the four are; ":3" after
    // the one checked) and the files in lib after "=>".
    std::string shown() {
        std::string text = face.at(Control::chkAnyVersion).checked ? "any {" : "{";
        for (std::size_t i = 0; i < face.rows.size(); ++i) text += (i ? ", " : "") + face.rows[i];
        text += "}";
        int options = 0;
        std::string checked;
        for (int i = 0; i < 4; ++i) {
            options += clickable(option_control(i));
            if (face.at(option_control(i)).checked) checked = ":" + std::to_string(i);
        }
        if (clickable(Control::Command3)) text += " +";
        if (clickable(Control::Command4)) text += " -";
        if (options > 0 || !checked.empty())
            text += (options == 4 ? " options" : " options(" + std::to_string(options) + ")") + checked;
        for (const auto& [control, name] : {std::pair{Control::Command5, "File"}, {Control::Command1, "Execute"},
                                            {Control::cmdOpenFolder, "Open"}, {Control::cmdDetails, "Details"}})
            if (clickable(control)) text += std::string(" ") + name;
        const auto names = test::file_names(app / "lib");
        if (!names.empty()) text += " =>";
        for (const auto& name : names) text += " " + name;
        return text;
    }
    // The status label, empty while hidden.
    std::string status() { return face.at(Control::Label2).visible ? face.at(Control::Label2).caption : ""; }

    TempDir app;
    TempDir inputs;
    RecordingFace face;
    std::unique_ptr<WindowLogic> logic;
};

struct ActionCase {
    std::string name;
    std::string actions;
    std::vector<std::string> seen;  // "…" stands for any text
    std::string shown;
};
std::ostream& operator<<(std::ostream& out, const ActionCase& c) { return out << c.name; }

class UserActions : public ::testing::TestWithParam<ActionCase> {};

const std::string box = "warning Vorlane: ";
const std::string not_added = " was not added: ";

INSTANTIATE_TEST_SUITE_P(
    Window, UserActions,
    ::testing::Values(
        ActionCase{"a_library", "+:a.p", {}, "{a.p 10} + - options"},
        ActionCase{"cancelled", "+", {}, "{} +"},
        ActionCase{"the_same_file_twice", "+:a.p +:a.p", {}, "{a.p 10} + - options"},
        ActionCase{"a_file_that_is_not_there", "+:missing.p", {box + "missing.p" + not_added + "it cannot be read: …"}, "{} +"},
        ActionCase{"no_marker_line", "+:plain.p", {box + "plain.p: " + kWarningText}, "{} +"},
        ActionCase{"a_decal_library_given_to_plus", "+:d.d",
                   {box + "d.d" + not_added + "it is a PADS PCB decal library, not a part-type library."}, "{} +"},
        ActionCase{"every_version_no_marker_line", "any +:plain.p",
                   {box + "plain.p" + not_added + "no line of it is the marker line *PADS-LIBRARY-PART-TYPES-V<version>*."},
                   "any {} +"},
        ActionCase{"a_drop",
                   "drop:a.p,plain.p,v9.p,a.p,folder.p,b.p,c.p,d.p,e.p",
                   {box + "5 files were not added:\n\nplain.p: " + kWarningText + "\n\nv9.p" + not_added +
                    "it is a PADS V9 part-type library; …\"Accept every PADS version\".\n\na.p" + not_added +
                    "it is listed already.\n\nfolder.p" + not_added + "it is not a regular file.\n\ne.p" +
                    not_added + "four files are listed already."},
                   "{a.p 10, b.p 5, c.p 1, d.p 2} - options"},
        ActionCase{"four_at_most", "+:a.p +:b.p +:c.p +:d.p +:e.p drop:e.p", {"drop refused"},
                   "{a.p 10, b.p 5, c.p 1, d.p 2} - options"},
        ActionCase{"four_all_removed_plus_stays_off", "+:a.p +:b.p +:c.p +:d.p row:0 - row:0 - row:0 - row:0 -", {},
                   "{}"},
        ActionCase{"the_first_of_two_removed", "+:a.p +:b.p option:3 row:0 -", {}, "{b.p 5} + - options:3 Execute"},
        ActionCase{"the_second_of_two_removed", "+:a.p +:b.p option:0 row:1 -", {}, "{a.p 10} + - options:0 Execute"},
        ActionCase{"none_selected", "+:a.p +:b.p option:3 -", {}, "{a.p 10, b.p 5} + - options:3 File Execute"},
        ActionCase{"the_last_removed_then_execute", "+:a.p option:0 row:0 - Execute", {"Done."}, "{} + Open Details"},
        ActionCase{"alphanumeric_order", "+:t.p option:0 Execute", {"Done."},
                   "{t.p 3} + - options:0 Open Details => LIB_A.p LIB_C.p"},
        ActionCase{"logic_family", "+:t.p option:1 Execute", {"Done."},
                   "{t.p 3} + - options:1 Open Details => LIB_CMOS.p LIB_TTL.p"},
        ActionCase{"pcb_decal_name", "+:t.p option:2 Execute", {"Done."},
                   "{t.p 3} + - options:2 Open Details => LIB_DIP8.p LIB_SO8.p"},
        ActionCase{"pcb_decal_pads_number", "+:t.p option:3 File:d.d Execute", {"Done."},
                   "{t.p 3} + - options:3 File Open Details => LIB_14.p LIB_8.p"},
        // Without a decal library the pad count could place no part: its
        // dialog comes first, and a cancelled one starts nothing.
        ActionCase{"pad_count_asks_for_the_decal_library", "+:t.p option:3 Execute:d.d", {"Done."},
                   "{t.p 3} + - options:3 File Open Details => LIB_14.p LIB_8.p"},
        ActionCase{"pad_count_without_a_decal_library", "+:t.p option:3 Execute", {""},
                   "{t.p 3} + - options:3 File Execute"},
        ActionCase{"decal_files_refused_or_cancelled",
                   "+:t.p option:3 File:d.d File:a.p File:v9.d File:folder.p File:missing.d File Execute",
                   {box + "a.p was not taken as the decal file: it is a PADS part-type library, not a PCB decal library.",
                    box + "v9.d was not taken as the decal file: it is a PADS V9 PCB decal library; …",
                    box + "folder.p was not taken as the decal file: it is not a regular file.",
                    box + "missing.d was not taken as the decal file: it cannot be read: …", "Done."},
                   "{t.p 3} + - options:3 File Open Details => LIB_14.p LIB_8.p"},
        ActionCase{"every_version", "any +:v9.p +:a.p any", {}, "{v9.p 1, a.p 10} + - options"},
        ActionCase{"every_version_a_v9_decal_library", "any +:v9.p option:3 File:v9.d Execute", {"Done."},
                   "any {v9.p 1} + - options:3 File Open Details => LIB_8.p"},
        ActionCase{"every_version_a_mix_refused_before_the_run", "any +:a.p +:v9.p option:0 Execute",
                   {"", box + "The files are of different formats…a.p: *PADS-LIBRARY-PART-TYPES-V4*\n"
                              "  …v9.p: *PADS-LIBRARY-PART-TYPES-V9*"},
                   "any {a.p 10, v9.p 1} + - options:0 Execute"},
        // A V9 file listed while the box was on is refused by "Execute" once it is off.
        ActionCase{"v9_listed_then_the_box_unchecked", "any +:v9.p any option:0 Execute",
                   {"", box + "These files are not PADS V4 libraries, and \"Accept every PADS version\" is off. "
                              "Check it to sort them, or remove them:\n  v9.p: *PADS-LIBRARY-PART-TYPES-V9*"},
                   "{v9.p 1} + - options:0 Execute"}),
    [](const auto& info) { return info.param.name; });

TEST_P(UserActions, LeaveWhatTheUserSees) {
    const ActionCase& c = GetParam();
    Window w;
    const auto seen = w.act(c.actions);
    std::string all;
    for (const auto& line : seen) all += line + "\n--\n";
    ASSERT_EQ(seen.size(), c.seen.size()) << all;
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_TRUE(matches(seen[i], c.seen[i])) << all;
    EXPECT_EQ(w.shown(), c.shown);
    // The face shows what the logic thinks it shows.
    for (const ControlInfo& control : kControlTable) {
        const auto& face = w.face.at(control.control);
        const auto& logic = w.logic->control(control.control);
        if (face.enabled != logic.enabled || face.visible != logic.visible || face.checked != logic.checked)
            ADD_FAILURE() << control.name << " differs between the face and the logic";
    }
}

TEST(WindowStart, ControlsColumnsAndTheFileDialogs) {
    Window w;
    EXPECT_EQ(w.shown(), "{} +");
    EXPECT_EQ(w.status(), "");
    EXPECT_EQ(w.face.columns, (std::vector<std::string>{"Name 3540", "# 1000"}));
    EXPECT_EQ(w.face.at(Control::lblLink).caption, "http://www.vorlane.example");
    EXPECT_EQ(w.face.news_asked, 1);
    EXPECT_TRUE(fs::is_directory(w.app / "lib") && fs::is_directory(w.app / "tmp"));

    w.act("+:t.p option:3 File:d.d");
    EXPECT_EQ(w.face.questions.at(0).filter_description, "Part-Type Files (*.p)");
    EXPECT_EQ(w.face.questions.at(0).filter_pattern, "*.p");
    EXPECT_EQ(w.face.questions.at(0).initial_name, "");
    EXPECT_EQ(w.face.questions.at(1).filter_description, "PCB Decal File (*.d)");
    EXPECT_EQ(w.face.questions.at(1).initial_name, ".p");  // the extension of the last file chosen
    EXPECT_EQ(w.face.at(Control::lblDecalFile).caption, "d.d");
    EXPECT_EQ(w.face.at(Control::lblDecalFile).tooltip, display_path(w.input("d.d")));

    // Without a message file, the box for a refused file comes all the same.
    Window bare(false);
    EXPECT_EQ(bare.act("+:plain.p").at(0),
              box + "plain.p" + not_added + "no line of it is the marker line *PADS-LIBRARY-PART-TYPES-V4*.");
}

// The version box and the folder of the last file chosen, in the next session.
TEST(WindowStart, RemembersTheBoxAndTheFolder) {
    Window w;
    w.act("any +:a.p");
    w.open();
    w.act("+:v9.p");
    EXPECT_EQ(w.shown(), "any {v9.p 1} + - options");
    EXPECT_EQ(w.face.questions.at(0).start_folder, fs::path());
    EXPECT_EQ(w.face.questions.at(1).start_folder, w.inputs.path());
    w.act("any");
    w.open();
    EXPECT_EQ(w.shown(), "{} +");
}

TEST(AfterARun, DetailsOpenFolderFocusAndTheLink) {
    Window w;
    std::vector<Lines> parts = numbered_parts(1200);
    parts.insert(parts.begin(), part("Z1 QFP100 I TTL 3 1 0 0 0"));
    w.put("big.p", library_bytes(parts));
    w.put("pads.d", crlf({kDecalMarkerV4, "", "DIP8 M 0 0 0 2 3 0 8 1 0", "", "QFP100 M 0 0 0 2 3 0 100 1 0", "",
                          "*END*"}));
    std::optional<Control> focus_during;
    w.act("+:big.p option:3 File:pads.d");
    w.logic->Command1_Click();
    focus_during = w.face.focus;
    EXPECT_TRUE(w.logic->running());
    // Clicks on the guarded controls, and a drop, change nothing during a run.
    w.face.answers = {w.input("c.p"), w.input("d.d")};
    w.logic->Command3_Click();
    w.logic->Command5_Click();
    w.face.selected = 0;
    w.logic->Command4_Click();
    w.logic->Option1_Click(1);
    w.logic->Command1_Click();
    w.logic->ListView1_OLEDragDrop({w.input("c.p")});
    EXPECT_FALSE(w.logic->takes_files());
    EXPECT_EQ(w.face.questions.size(), 2u);  // none asked during the run
    w.face.settle();
    EXPECT_EQ(focus_during, Control::ListView1);  // not "Exit", where Return would end the program
    EXPECT_EQ(w.face.focus, Control::cmdDetails);
    EXPECT_EQ(w.status(), "Done.");
    EXPECT_FALSE(w.face.hourglass);
    EXPECT_EQ(w.shown(), "{big.p 1,201} + - options:3 File Open Details => LIB_100.p LIB_8.p");

    const auto seen = w.act("Details Open");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].find("  LIB_8.p     key \"8\"     1,200 parts\n  LIB_100.p   key \"100\"       1 part\n"),
              std::string::npos)
        << seen[0];
    EXPECT_EQ(w.face.opened, std::vector<fs::path>{lib_folder(w.logic->state())});
    // No file manager: a box names the folder.
    w.face.file_manager = false;
    const auto without = w.act("Open");
    ASSERT_EQ(without.size(), 1u);
    EXPECT_NE(without[0].find(display_path(w.app / "lib")), std::string::npos) << without[0];

    // The link opens the site, on a left click only.
    for (const int button : {2, 4, 1}) w.logic->lblLink_MouseDown(button);
    EXPECT_EQ(w.face.urls, std::vector<std::string>{"http://www.vorlane.example"});
    w.logic->news_arrived("News: Version 2 is out");
    EXPECT_EQ(w.face.at(Control::Text1).caption, "News: Version 2 is out");
}

TEST(AfterARun, FailureBusyAndWarnings) {
    Window w;
    // A regular file stands where the lib folder should be.
    w.act("+:c.p option:0");
    fs::remove_all(w.app / "lib");
    write_file(w.app / "lib", "not a folder");
    auto seen = w.act("Execute");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "Run failed.");
    EXPECT_EQ(seen[1].rfind("error Vorlane: ", 0), 0u) << seen[1];
    EXPECT_NE(seen[1].find(display_path(w.app / "lib") + " is not a folder"), std::string::npos) << seen[1];
    // The failure goes from the status line when the list changes.
    w.act("+:a.p");
    EXPECT_EQ(w.status(), "");
    fs::remove(w.app / "lib");

    {
        // Another run holds the folder: a warning, nothing written, and no
        // "Processing..." left behind.
        const auto held = real_file_system().lock(run_lock_path(w.app.path()), true);
        seen = w.act("option:0 Execute");
        ASSERT_EQ(seen.size(), 2u) << seen[0];
        EXPECT_EQ(seen[0], "");
        EXPECT_NE(seen[1].find("another run is sorting into"), std::string::npos) << seen[1];
        EXPECT_FALSE(fs::exists(w.app / "lib" / "LIB_P.p"));
    }

    // Parts no decal library holds: a short box, with "Execute" disabled under it.
    std::vector<Lines> parts;
    for (int i = 0; i < 60; ++i) parts.push_back(part("U" + std::to_string(i) + " X" + std::to_string(i) + " I TTL 3 1 0 0 0"));
    w.put("many.p", library_bytes(parts));
    bool execute_under_box = false;
    w.face.on_box = [&w, &execute_under_box] { execute_under_box |= w.face.at(Control::Command1).enabled; };
    seen = w.act("row:0 - row:0 - +:many.p option:3 File:d.d Execute");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "Done.");
    EXPECT_EQ(seen[1].rfind(box, 0), 0u) << seen[1];
    EXPECT_NE(seen[1].find("decal X0"), std::string::npos) << seen[1];
    EXPECT_FALSE(execute_under_box);
    EXPECT_LE(std::count(seen[1].begin(), seen[1].end(), '\n'), 20) << seen[1];

    // A decal library that is the report every run replaces: "Execute"
    // refuses it in a warning box naming it, and it keeps its bytes.
    const fs::path report = w.app / "marrowgate-report.txt";
    const std::string decals = test::read_file(w.input("d.d"));
    write_file(report, decals);
    w.act("option:3");
    w.face.answers.push_back(report);
    seen = w.act("File Execute");
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().rfind(box + display_path(report) + ": refused: it is the report", 0), 0u) << seen.back();
    EXPECT_EQ(test::read_file(report), decals);
}

// "Exit" or the close box during a run stop it; the window closes once it
// has stopped, and lib is as it was.
TEST(AfterARun, ExitDuringARunStopsItAndLeavesLibAsItWas) {
    for (const bool close_box : {false, true}) {
        SCOPED_TRACE(close_box ? "the close box" : "Exit");
        // The run is held at its first read of a listed file until the user has asked it to stop.
        test::FaultyFileSystem files;
        std::promise<void> reached, released;
        Window w;
        w.open(files);
        w.act("+:a.p option:0 Execute");
        const std::string earlier = test::read_file(w.app / "lib" / "LIB_P.p");
        w.put("a.p", library_bytes(numbered_parts(60)));
        w.act("option:0");
        std::atomic<bool> first{true};
        files.before_open_read = [&, held = released.get_future().share()](const fs::path&) {
            if (!first.exchange(false)) return;
            reached.set_value();
            held.wait();
        };
        w.logic->Command1_Click();
        reached.get_future().wait();
        if (close_box) {
            EXPECT_FALSE(w.logic->Form_QueryUnload());
        } else {
            w.logic->Command2_Click();
        }
        EXPECT_FALSE(w.face.closed);
        released.set_value();
        w.face.settle();
        EXPECT_TRUE(w.face.closed);
        EXPECT_TRUE(w.face.boxes.empty());
        EXPECT_EQ(test::read_file(w.app / "lib" / "LIB_P.p"), earlier);
    }
}

TEST(WindowArguments, FilesAndTheApplicationFolder) {
    const auto parsed = parse_window_arguments({"--app-folder", "out", "a.p", "--", "--b.p"});
    EXPECT_TRUE(parsed.error.empty());
    ASSERT_TRUE(parsed.app_folder);
    EXPECT_TRUE(parsed.app_folder->is_absolute());
    ASSERT_EQ(parsed.files.size(), 2u);
    EXPECT_EQ(parsed.files[1].filename(), "--b.p");
    EXPECT_EQ(parse_window_arguments({"--app-folder"}).error, "--app-folder needs a value");
    EXPECT_EQ(parse_window_arguments({"--bogus"}).error, "unknown option --bogus");
    EXPECT_TRUE(parse_window_arguments({"--help"}).help);

    // Files named on the command line are listed as "+" lists them.
    Window w;
    w.logic->add_files({w.input("a.p"), w.input("plain.p")});
    EXPECT_EQ(w.shown(), "{a.p 10} + - options");
    ASSERT_EQ(w.face.boxes.size(), 1u);
    EXPECT_NE(w.face.boxes[0].find("plain.p: " + kWarningText), std::string::npos);
}

}  // namespace
}  // namespace marrowgate::window
