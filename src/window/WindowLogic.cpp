#include "window/WindowLogic.h"

#include <exception>
#include <utility>

#include "io/Paths.h"
#include "io/RunError.h"
#include "news/MessageTable.h"
#include "report/RunText.h"
#include "report/RunWarnings.h"
#include "sort/Sorts.h"
#include "workspace/FileList.h"
#include "workspace/Folders.h"

namespace marrowgate::window {

namespace {

constexpr const char* kPartTypeFilter = "Part-Type Files (*.p)";
constexpr const char* kDecalFilter = "PCB Decal File (*.d)";
// The most refusals one box names; the rest are counted.
constexpr std::size_t kRefusalsShown = 8;
// The controls a run disables, so that nothing changes what it reads.
constexpr Control kGuarded[] = {Control::Command1, Control::Command3,  Control::Command4,  Control::Command5,
                                Control::Option1_0, Control::Option1_1, Control::Option1_2, Control::Option1_3,
                                Control::chkAnyVersion};

}  // namespace

// What a run shows, carried over to the window's thread: the run itself
// works on a thread of its own and never touches a control.
class WindowLogic::RunStatus final : public StatusDisplay {
public:
    explicit RunStatus(WindowLogic& logic) : logic_(logic) {}
    void set_hourglass(bool busy) override {
        logic_.face_.post([&face = logic_.face_, busy] { face.set_hourglass(busy); });
    }
    void set_caption(const std::string& caption) override {
        logic_.face_.post([&logic = logic_, caption] { logic.set_caption(Control::Label2, caption); });
    }
    void set_visible(bool visible) override {
        logic_.face_.post([&logic = logic_, visible] { logic.set_visible(Control::Label2, visible); });
    }
    void pump_events() override {}
    bool stop_requested() override { return logic_.stop_.load(std::memory_order_relaxed); }

private:
    WindowLogic& logic_;
};

WindowLogic::WindowLogic(WindowFace& face, WindowSettings settings, FileSystem& files)
    : face_(face), settings_(std::move(settings)), files_(files) {
    state_.Application_Folder = settings_.application_folder;
    state_.Message_File = settings_.message_file;
    for (const ControlInfo& control : kControlTable)
        controls_[static_cast<std::size_t>(control.control)].caption = control.caption;
}

WindowLogic::~WindowLogic() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
}

// --- controls, as the logic last set them -----------------------------------

void WindowLogic::set_caption(Control control, const std::string& caption) {
    controls_[static_cast<std::size_t>(control)].caption = caption;
    face_.set_caption(control, caption);
}

void WindowLogic::set_enabled(Control control, bool enabled) {
    controls_[static_cast<std::size_t>(control)].enabled = enabled;
    face_.set_enabled(control, enabled);
}

void WindowLogic::set_visible(Control control, bool visible) {
    controls_[static_cast<std::size_t>(control)].visible = visible;
    face_.set_visible(control, visible);
}

void WindowLogic::set_checked(Control control, bool checked) {
    controls_[static_cast<std::size_t>(control)].checked = checked;
    face_.set_checked(control, checked);
}

// --- start-up ------------------------------------------------------------------

void WindowLogic::Form_Load() {
    set_caption(Control::lblLink, settings_.site);
    set_visible(Control::Label2, false);
    set_enabled(Control::Command1, false);
    set_enabled(Control::Command4, false);
    for (int i = 0; i < 4; ++i) set_enabled(option_control(i), false);
    show_decal_choice(false);
    set_visible(Control::cmdOpenFolder, false);
    set_visible(Control::cmdDetails, false);
    const auto every_version = face_.recall(kAnyVersionKey);
    set_checked(Control::chkAnyVersion, every_version && (*every_version == "true" || *every_version == "1"));

    face_.Internet_Detection();
    Lecture_des_Messages(state_, files_);
    // A folder that cannot be created shows when a run cannot write its files.
    tmp_makedir(state_, files_);
    face_.clear_rows();
    rows_.clear();
    face_.add_column("Name", kNameColumnTwips);
    face_.add_column("#", kCountColumnTwips);
}

void WindowLogic::news_arrived(const std::string& caption) { set_caption(Control::Text1, caption); }

// --- options and the version box -------------------------------------------------

void WindowLogic::Option1_Click(int index) {
    if (running_ || index < 0 || index > 3) return;
    state_.Sort_Option = static_cast<std::int16_t>(index);
    for (int i = 0; i < 4; ++i) set_checked(option_control(i), i == index);
    set_enabled(Control::Command1, true);
    show_decal_choice(index == 3);
}

void WindowLogic::show_decal_choice(bool shown) {
    set_visible(Control::Command5, shown);
    set_visible(Control::lblDecalFile, shown);
}

void WindowLogic::chkAnyVersion_Click(bool checked) {
    // Files of other versions listed already stay: "Execute" refuses them
    // while the box is off.
    set_checked(Control::chkAnyVersion, checked);
    face_.remember(kAnyVersionKey, checked ? "true" : "false");
}

void WindowLogic::clear_options() {
    for (int i = 0; i < 4; ++i) {
        set_checked(option_control(i), false);
        set_enabled(option_control(i), false);
    }
}

// --- the file list ---------------------------------------------------------------

FileQuestion WindowLogic::question(const char* description, const char* pattern) const {
    FileQuestion asked;
    asked.filter_description = description;
    asked.filter_pattern = pattern;
    asked.initial_name = state_.Staged_Extension;
    if (const auto folder = face_.recall(kLastFolderKey)) asked.start_folder = path_from_utf8(*folder);
    return asked;
}

void WindowLogic::remember_folder(const std::filesystem::path& chosen) {
    face_.remember(kLastFolderKey, utf8_from_path(chosen.parent_path()));
}

void WindowLogic::warn(const std::string& text) {
    const bool executable = control(Control::Command1).enabled;
    set_enabled(Control::Command1, false);
    face_.message_box(BoxIcon::Warning, kBoxTitle, text);
    set_enabled(Control::Command1, executable);
}

void WindowLogic::Command3_Click() {
    if (running_) return;
    Add_Ascii_File();
}

void WindowLogic::Add_Ascii_File() {
    const auto chosen = face_.open_file(question(kPartTypeFilter, "*.p"));
    if (!chosen) return;
    remember_folder(*chosen);
    // A file picked twice is simply listed once.
    if (const auto refusal = add_chosen_file(*chosen, true)) warn(*refusal);
}

bool WindowLogic::takes_files() const { return !running_ && control(Control::Command3).enabled; }

void WindowLogic::ListView1_OLEDragDrop(const std::vector<std::filesystem::path>& files) { add_files(files); }

void WindowLogic::add_files(const std::vector<std::filesystem::path>& files) {
    if (!takes_files()) return;
    // Every file is tried, the ones after a full list too, and one box names
    // each file refused.
    std::vector<std::string> refusals;
    for (const auto& file : files) {
        if (auto refusal = add_chosen_file(file, false)) refusals.push_back(std::move(*refusal));
    }
    if (refusals.empty()) return;
    if (refusals.size() == 1) {
        warn(refusals.front());
        return;
    }
    std::string text = std::to_string(refusals.size()) + " files were not added:";
    for (std::size_t i = 0; i < refusals.size() && i < kRefusalsShown; ++i) text += "\n\n" + refusals[i];
    if (refusals.size() > kRefusalsShown)
        text += "\n\n... and " + std::to_string(refusals.size() - kRefusalsShown) + " more.";
    warn(text);
}

namespace {

// Why a chosen file was not taken, naming it: the message file's text for a
// file without the V4 marker, as the window has always said it, otherwise
// the reason from the table the command line shares.
std::string refusal_sentence(const Module1& state, const std::filesystem::path& file, const AddResult& result,
                             const MarkerRule& rule, bool any_version, bool decal) {
    const std::string name = display_path(file);
    const std::string& message = state.message(0, 1);
    if (result.outcome == AddOutcome::NoMarker && !any_version && !message.empty()) return name + ": " + message;
    const std::string reason = decal && result.outcome == AddOutcome::AlreadyListed
                                   ? "it is listed as a part-type file"
                                   : describe_refusal(result, rule);
    std::string text = name + (decal ? " was not taken as the decal file: " : " was not added: ") + reason + ".";
    if (result.outcome == AddOutcome::OtherVersion)
        text += " This window reads V4 libraries, or every version with \"Accept every PADS version\".";
    return text;
}

}  // namespace

std::optional<std::string> WindowLogic::add_chosen_file(const std::filesystem::path& path, bool quiet_if_listed) {
    const MarkerRule rule = any_version() ? MarkerRule::part_types_any_version() : MarkerRule::part_types_v4();
    const AddResult result = add_part_type_file(state_, path, files_, rule);
    if (result.outcome == AddOutcome::AlreadyListed && quiet_if_listed) return std::nullopt;
    if (result.outcome != AddOutcome::Added)
        return refusal_sentence(state_, path, result, rule, any_version(), false);
    if (state_.File_Count == kMaxListedFiles) set_enabled(Control::Command3, false);
    append_row(result.entry);
    set_enabled(Control::Command4, true);
    for (int i = 0; i < 4; ++i) set_enabled(option_control(i), true);
    list_changed();
    return std::nullopt;
}

void WindowLogic::append_row(int entry) {
    const auto slot = static_cast<std::size_t>(entry);
    const std::string& name = state_.File_Name[slot];
    const std::string count = with_thousands(state_.File_Parts[slot]);
    rows_.emplace_back(name, count);
    face_.append_row(name, count, display_path(listed_file_path(state_, entry)));
}

void WindowLogic::list_changed() {
    // What the failure was about may be gone with the list as it was.
    if (control(Control::Label2).caption == "Run failed.") set_visible(Control::Label2, false);
}

void WindowLogic::Command4_Click() {
    if (running_) return;
    Del_Ascii_File();
}

void WindowLogic::ListView1_KeyDown_Delete() {
    if (control(Control::Command4).enabled) Command4_Click();
}

void WindowLogic::Del_Ascii_File() {
    const auto row = face_.selected_row();
    if (!row || *row < 0 || static_cast<std::size_t>(*row) >= rows_.size()) return;
    const std::string name = rows_[static_cast<std::size_t>(*row)].first;
    remove_listed_file(state_, name);
    face_.clear_rows();
    rows_.clear();
    for (int i = 1; i <= state_.File_Count; ++i) append_row(i);
    if (state_.File_Count == 0) {
        set_enabled(Control::Command4, false);
        clear_options();
    }
    show_decal_choice(false);
    list_changed();
}

// --- the decal file ----------------------------------------------------------------

void WindowLogic::Command5_Click() {
    if (running_) return;
    pick_decal_file();
}

bool WindowLogic::pick_decal_file() {
    const auto chosen = face_.open_file(question(kDecalFilter, "*.d"));
    if (!chosen) return false;
    remember_folder(*chosen);
    const MarkerRule rule = any_version() ? MarkerRule::decals_any_version() : MarkerRule::decals_v4();
    const AddResult result = choose_decal_file(state_, *chosen, files_, rule);
    if (result.outcome != AddOutcome::Added) {
        warn(refusal_sentence(state_, *chosen, result, rule, any_version(), true));
        return false;
    }
    decal_marker_ = result.marker;
    set_caption(Control::lblDecalFile, state_.Decal_Name[1]);
    face_.set_tooltip(Control::lblDecalFile, display_path(decal_file_path(state_)));
    return true;
}

// --- the run ----------------------------------------------------------------------

std::optional<std::string> WindowLogic::refusal_before_run() const {
    if (!any_version()) {
        // Files listed while every version was taken, the box since unchecked.
        std::string others;
        const MarkerRule parts = MarkerRule::part_types_v4();
        for (int i = 1; i <= state_.File_Count; ++i) {
            const std::string& marker = state_.File_Marker[static_cast<std::size_t>(i)];
            if (!marker.empty() && !parts.matches(marker))
                others += "\n  " + display_path(listed_file_path(state_, i)) + ": " + marker;
        }
        if (state_.Sort_Option == 3 && state_.Decal_Count > 0 && !decal_marker_.empty() &&
            !MarkerRule::decals_v4().matches(decal_marker_))
            others += "\n  " + display_path(decal_file_path(state_)) + ": " + decal_marker_;
        if (!others.empty())
            return "These files are not PADS V4 libraries, and \"Accept every PADS version\" is off. Check it "
                   "to sort them, or remove them:" + others;
    }
    // One library file holds one format: a mix is refused before anything is written.
    try {
        run_format(state_);
    } catch (const RunError& error) {
        std::string text = error.what();
        if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
        return text;
    }
    // So is a file the run would remove, replace or write.
    return own_file_refusal(state_, static_cast<SortKey>(*state_.Sort_Option), files_);
}

void WindowLogic::Command1_Click() {
    // The buttons are disabled during a run; a call that still reaches a
    // handler then (a queued click, a direct call) changes nothing.
    if (running_) return;
    if (!state_.Sort_Option || *state_.Sort_Option < 0 || *state_.Sort_Option > 3) {
        set_enabled(Control::Command1, false);
        return;
    }
    const int option = *state_.Sort_Option;
    // The pad count is looked up in a decal library: without one, the run
    // could place no part. The user chooses it first, or nothing runs.
    if (option == 3 && state_.Decal_Count == 0 && !pick_decal_file()) return;
    if (const auto refusal = refusal_before_run()) {
        warn(*refusal);
        return;
    }
    start_run(option);
}

void WindowLogic::start_run(int option) {
    running_ = true;
    stop_ = false;
    set_visible(Control::cmdOpenFolder, false);
    set_visible(Control::cmdDetails, false);
    enabled_before_run_.clear();
    face_.set_hourglass(true);
    // Focus goes to the list, not to "Exit" where Return would end the program.
    face_.set_focus(Control::ListView1);
    for (const Control control : kGuarded) {
        enabled_before_run_.emplace_back(control, this->control(control).enabled);
        set_enabled(control, false);
    }
    worker_ = std::thread([this, option] {
        RunStatus status(*this);
        auto result = std::make_shared<RunResult>();
        try {
            *result = run_sort(state_, static_cast<SortKey>(option), status, files_);
        } catch (const std::exception& error) {
            result->ok = false;
            result->outcome = RunResult::Outcome::Failed;
            result->error = error.what();
            status.set_hourglass(false);
        }
        face_.post([this, result] { run_finished(std::move(*result)); });
    });
}

void WindowLogic::run_finished(RunResult result) {
    if (worker_.joinable()) worker_.join();
    for (const auto& [control, enabled] : enabled_before_run_) set_enabled(control, enabled);
    running_ = false;
    face_.set_hourglass(false);
    // After a run "Execute" waits for an option to be chosen again.
    set_enabled(Control::Command1, false);
    if (exit_requested_) {
        face_.close_window();
        return;
    }
    report(result);
}

void WindowLogic::report(const RunResult& result) {
    switch (result.outcome) {
        case RunResult::Outcome::Stopped: return;
        case RunResult::Outcome::Busy:
        case RunResult::Outcome::Refused:
            // No run of this window worked: its "Processing..." goes.
            set_visible(Control::Label2, false);
            warn(result.error);
            return;
        case RunResult::Outcome::Failed:
            set_caption(Control::Label2, "Run failed.");
            set_visible(Control::Label2, true);
            face_.message_box(BoxIcon::Error, kBoxTitle, result.error);
            return;
        case RunResult::Outcome::Done: break;
    }
    last_details_ = run_details_text(result, lib_folder(state_));
    set_visible(Control::cmdOpenFolder, true);
    set_visible(Control::cmdDetails, true);
    face_.set_focus(Control::cmdDetails);
    const std::string box = run_box_text(result);
    if (!box.empty()) warn(box);
}

void WindowLogic::Command2_Click() {
    if (Form_QueryUnload()) face_.close_window();
}

bool WindowLogic::Form_QueryUnload() {
    if (!running_) return true;
    // The run stops at its next part, changing nothing; the window closes then.
    exit_requested_ = true;
    stop_ = true;
    return false;
}

// --- after a run, and the link ----------------------------------------------------

void WindowLogic::cmdOpenFolder_Click() {
    const auto folder = lib_folder(state_);
    if (!face_.open_folder(folder))
        face_.message_box(BoxIcon::Warning, kBoxTitle,
                          "No file manager could be started to show the folder " + display_path(folder) + ".");
}

void WindowLogic::cmdDetails_Click() { face_.details_box(kBoxTitle, last_details_); }

void WindowLogic::lblLink_MouseDown(int button) {
    if (button == 1) face_.open_url(settings_.site);
}

}  // namespace marrowgate::window
