#pragma once
// The one prompt service. Every message box, task dialog, file dialog and input box of the
// workstation goes through Prompts::instance(): the real service shows Qt dialogs, tests
// install a scripted one that records each box and returns the answer they planned.

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QPrinter;

namespace duvo {

enum class PromptIcon { None, Information, Warning, Error, Question };

// Buttons of a box; also the answer. Values combine as flags in PromptRequest::buttons.
enum PromptButton : int {
    NoButton = 0,
    Ok = 0x01,
    Cancel = 0x02,
    Yes = 0x04,
    No = 0x08,
    Abort = 0x10,
    Retry = 0x20,
    Ignore = 0x40,
    Close = 0x80,
};

enum class PromptKind { Message, Task, OpenFile, SaveFile, Folder, Input, Print };

// One request to the user. Message boxes use title/text/icon/buttons; task dialogs add
// instruction, expandedText, the two expand captions and radio buttons; file dialogs use
// title, directory (text), filter and defaultName; input boxes use title, text (the label)
// and defaultValue; the print dialog uses title and printer (an accepted answer whose value
// holds a path means: print to that PDF file).
// A password input box may name the password it waits for (expectedPassword): the real
// service then shows the folder password prompt, which closes with Ok only once that password
// was typed. A save dialog may name the suffix added to a name typed without one.
struct PromptRequest {
    PromptKind kind = PromptKind::Message;
    QString title;
    QString text;          // message text, task dialog content, input label
    QString instruction;   // task dialog
    QString expandedText;  // task dialog
    QString expandControlText;    // caption while expanded ("Click to hide")
    QString collapseControlText;  // caption while collapsed ("Click to see more")
    bool expanded = false;        // task dialog opens with its expanded text shown
    QStringList radioButtons;     // task dialog
    int defaultRadio = 0;
    PromptIcon icon = PromptIcon::None;
    int buttons = Ok;
    QString directory;    // file dialogs
    QString filter;       // file dialogs
    QString defaultName;  // file dialogs
    QString defaultValue; // input box
    bool password = false; // input box hides what is typed
    QString expectedPassword; // password input box: Ok only for this text (empty: any text)
    int maxLength = 0;        // input box: the most characters the edit takes (0: no limit)
    QString defaultSuffix;    // save dialog: added to a name typed without a suffix ("svp")
    QPrinter *printer = nullptr; // print dialog: the printer it sets up
};

struct PromptAnswer {
    int button = Cancel;   // the PromptButton pressed (Ok for an accepted file/input dialog)
    int radio = -1;        // task dialog: index of the chosen radio button
    QString value;         // file dialogs: the chosen path; input box: the text
    bool accepted() const { return button == Ok || button == Yes; }
};

class Prompts {
public:
    virtual ~Prompts() = default;
    virtual PromptAnswer ask(const PromptRequest &request) = 0;

    // The service in use. Until one is installed, a service that answers every box with
    // its first button's "no" (Cancel/No) and writes it to standard error.
    static Prompts &instance();
    // Installs a service and returns the previous one (so a test can put it back).
    static Prompts *install(Prompts *service);

    // Convenience wrappers over ask().
    static int message(const QString &text, const QString &title,
                       int buttons = Ok, PromptIcon icon = PromptIcon::None);
    static int error(const QString &text, const QString &title = QStringLiteral("Error"))
    { return message(text, title, Ok, PromptIcon::Error); }
    static int information(const QString &text, const QString &title = QStringLiteral("Information"))
    { return message(text, title, Ok, PromptIcon::Information); }
    static std::optional<QString> openFile(const QString &title, const QString &directory,
                                           const QString &filter);
    static std::optional<QString> saveFile(const QString &title, const QString &directory,
                                           const QString &filter, const QString &defaultName = {},
                                           const QString &defaultSuffix = {});
    static std::optional<QString> folder(const QString &title, const QString &directory);
    static std::optional<QString> input(const QString &title, const QString &label,
                                        const QString &defaultValue = {}, bool password = false);
};

// Installs a service for the lifetime of this object, then puts the previous one back.
class PromptsScope {
public:
    explicit PromptsScope(Prompts *service) : FPrevious(Prompts::install(service)) {}
    ~PromptsScope() { Prompts::install(FPrevious); }
    PromptsScope(const PromptsScope &) = delete;
    PromptsScope &operator=(const PromptsScope &) = delete;
private:
    Prompts *FPrevious;
};

QString promptButtonName(int button);

} // namespace duvo
