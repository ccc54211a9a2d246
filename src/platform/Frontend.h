// What the core asks of the window: log lines in the three text boxes, modal messages, pending messages and
// the options read from their controls at the moment of use. The main window implements it over its widgets;
// tests use MemoryFrontend.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <exception>
#include <map>
#include <string>
#include <vector>

enum class MemoId { Memo1, Memo2, Memo3 }; // explorer log, unpacker text box, analyzer log

enum class OptionId {
    LoadTextures,      // CheckBox4 "Load textures"
    WriteOBJ,          // CheckBox5 "Write 3D models"
    AssignFiles,       // CheckBox2
    ConvertFormat,     // RadioGroup1 item index (-1..1)
    OggQuality,        // ScrollBar1 position (0..1000)
    ClearPrevious,     // CheckBox6 "Clear previous"
    Legacy3DS,         // CheckBox14 "Legacy 3DS"
    Legacy3DSTextures, // CheckBox7 "Export legacy ready texes"
    ModelFormat,       // RadioGroup2 item index (0 OBJ, 1 3DS)
    Triangles,         // CheckBox1 "Triangles"
    Normals,           // CheckBox3 "normals"
    DisplayStep,       // ScrollBar2 position (1..100)
    Debug,             // debug switch (Debug value present)
};

class Frontend {
public:
    virtual ~Frontend() = default;
    // Text is UTF-8.
    virtual void AppendLine(MemoId memo, const std::string& line) = 0;
    // Many lines at once (a text box takes them in one piece).
    virtual void AppendLines(MemoId memo, const std::vector<std::string>& lines)
    {
        for (const auto& line : lines)
            AppendLine(memo, line);
    }
    virtual void ClearMemo(MemoId memo) = 0;

    // Modal boxes. Within a command the first kMaxBoxesPerKind boxes of each kind are shown; the rest are counted
    // and reported in one box when the command ends. A kind is the place in the code that shows the box: the
    // file and line the default arguments take from the caller.
    static constexpr int kMaxBoxesPerKind = 5;
    // A box with the application's caption: the text and an OK button.
    void ShowMessage(const std::string& text, const char* file = __builtin_FILE(), unsigned line = __builtin_LINE());
    // The same as a warning.
    void ShowWarning(const std::string& text, const char* file = __builtin_FILE(), unsigned line = __builtin_LINE());
    // Plain system message box with a caption of its own.
    void MessageBox(const std::string& text, const std::string& caption, const char* file = __builtin_FILE(),
                    unsigned line = __builtin_LINE());

    // Shows an error that ended a command the way every such error is shown (the standard error box).
    virtual void ShowError(std::exception_ptr error) = 0;

    // Lets pending window messages run.
    virtual void ProcessMessages() = 0;
    // An option's current value (Booleans 0 or 1).
    virtual int Option(OptionId id) = 0;

    // Commands: the outermost Begin/End pair is one command (the window makes each event it handles one); pairs
    // inside it belong to it. Outside a command every box is shown.
    void BeginCommand();
    void EndCommand();
    bool InCommand() const { return depth_ > 0; }

protected:
    virtual void Message(const std::string& text) = 0;
    virtual void Warning(const std::string& text) { Message(text); }
    virtual void SystemBox(const std::string& text, const std::string& caption) = 0;
    // A command began inside the running one: a nested event loop (a box, pending messages) is running.
    virtual void CommandNested() {}
    // The outermost command ended (before the report of the boxes it did not show).
    virtual void CommandEnded() {}

private:
    struct Kind {
        const char* file;
        unsigned line;
        int shown;
        uint64_t more;
        std::string first; // text of the kind's first box
    };
    // Counts a box of `kind`; true when it is to be shown.
    bool Admit(const char* file, unsigned line, const std::string& text);

    std::vector<Kind> kinds_; // kinds seen in the running command
    int depth_ = 0;
};

// One command for the life of the object. An error in ending it (showing the report of its boxes) is shown with
// ShowError.
class TCommandScope {
public:
    explicit TCommandScope(Frontend& frontend) : frontend_(frontend) { frontend_.BeginCommand(); }
    ~TCommandScope();
    TCommandScope(const TCommandScope&) = delete;
    TCommandScope& operator=(const TCommandScope&) = delete;

private:
    Frontend& frontend_;
};

// "... and 17,457 more such messages" (the number with thousands separators).
std::string MoreMessagesText(uint64_t more);

// The text of an error: what() of a std::exception, else "Unknown error".
std::string ErrorText(std::exception_ptr error);

// In-memory frontend for tests: records everything, options default to the design defaults.
class MemoryFrontend : public Frontend {
public:
    MemoryFrontend()
    {
        options[OptionId::OggQuality] = 100;
        options[OptionId::Triangles] = 1;
        options[OptionId::DisplayStep] = 1;
    }
    void AppendLine(MemoId memo, const std::string& line) override { memos[Index(memo)].push_back(line); }
    void ClearMemo(MemoId memo) override { memos[Index(memo)].clear(); }
    void Message(const std::string& text) override { messages.push_back(text); }
    void Warning(const std::string& text) override
    {
        messages.push_back(text);
        warnings.push_back(text);
    }
    void SystemBox(const std::string& text, const std::string& caption) override
    {
        messages.push_back(caption + ": " + text);
    }
    void ShowError(std::exception_ptr error) override { errors.push_back(ErrorText(error)); }
    void ProcessMessages() override
    {
        ++processCount;
        if (onProcessMessages)
            onProcessMessages();
    }
    int Option(OptionId id) override
    {
        auto it = options.find(id);
        return it == options.end() ? 0 : it->second;
    }

    std::vector<std::string>& Lines(MemoId memo) { return memos[Index(memo)]; }

    std::array<std::vector<std::string>, 3> memos;
    std::vector<std::string> messages;
    std::vector<std::string> warnings; // those of `messages` shown as warnings
    std::vector<std::string> errors;   // texts of ShowError
    std::map<OptionId, int> options;
    int processCount = 0;
    void (*onProcessMessages)() = nullptr;

private:
    static size_t Index(MemoId m) { return static_cast<size_t>(m); }
};

// Paces the window's share of a long loop (pending messages, a progress bar): `Tick` runs its step at the first
// call and then at most once per interval of wall time, counted from the end of the step; a step that takes long
// (a repaint that goes through the OpenGL compositor) spaces the next one further out, so that the steps take at
// most about a twentieth of the loop's time. The clock is read at every `stride`th call only, for loops whose
// iterations take nanoseconds.
class TMessagePacer {
public:
    explicit TMessagePacer(unsigned stride = 1, std::chrono::milliseconds interval = std::chrono::milliseconds(10))
        : stride_(stride == 0 ? 1 : stride), interval_(interval), wait_(interval)
    {
    }
    // True when the step ran.
    template <typename Step>
    bool Tick(Step&& step)
    {
        if (calls_++ % stride_ != 0)
            return false;
        const auto start = Clock::now();
        if (started_ && start - last_ < wait_)
            return false;
        step();
        started_ = true;
        last_ = Clock::now();
        wait_ = std::max<Clock::duration>(interval_, 19 * (last_ - start));
        return true;
    }

private:
    using Clock = std::chrono::steady_clock;
    unsigned stride_;
    Clock::duration interval_;
    Clock::duration wait_;
    unsigned calls_ = 0;
    bool started_ = false;
    Clock::time_point last_{};
};
