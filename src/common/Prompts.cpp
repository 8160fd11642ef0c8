#include "common/Prompts.h"

#include <cstdio>

namespace duvo {

namespace {

class FallbackPrompts final : public Prompts {
public:
    PromptAnswer ask(const PromptRequest &request) override
    {
        std::fprintf(stderr, "[prompt] %s: %s\n", qPrintable(request.title), qPrintable(request.text));
        PromptAnswer a;
        a.button = (request.buttons & No) ? No : (request.buttons & Cancel) ? Cancel : Ok;
        return a;
    }
};

FallbackPrompts &fallback()
{
    static FallbackPrompts f;
    return f;
}

Prompts *g_current = nullptr;

} // namespace

Prompts &Prompts::instance()
{
    return g_current ? *g_current : fallback();
}

Prompts *Prompts::install(Prompts *service)
{
    Prompts *previous = g_current;
    g_current = service;
    return previous;
}

int Prompts::message(const QString &text, const QString &title, int buttons, PromptIcon icon)
{
    PromptRequest r;
    r.kind = PromptKind::Message;
    r.text = text;
    r.title = title;
    r.buttons = buttons;
    r.icon = icon;
    return instance().ask(r).button;
}

static std::optional<QString> askPath(PromptKind kind, const QString &title, const QString &directory,
                                      const QString &filter, const QString &defaultName,
                                      const QString &defaultSuffix = {})
{
    PromptRequest r;
    r.kind = kind;
    r.title = title;
    r.directory = directory;
    r.filter = filter;
    r.defaultName = defaultName;
    r.defaultSuffix = defaultSuffix;
    r.buttons = Ok | Cancel;
    const PromptAnswer a = Prompts::instance().ask(r);
    if (a.button != Ok || a.value.isEmpty())
        return std::nullopt;
    return a.value;
}

std::optional<QString> Prompts::openFile(const QString &title, const QString &directory, const QString &filter)
{
    return askPath(PromptKind::OpenFile, title, directory, filter, {});
}

std::optional<QString> Prompts::saveFile(const QString &title, const QString &directory,
                                         const QString &filter, const QString &defaultName,
                                         const QString &defaultSuffix)
{
    return askPath(PromptKind::SaveFile, title, directory, filter, defaultName, defaultSuffix);
}

std::optional<QString> Prompts::folder(const QString &title, const QString &directory)
{
    return askPath(PromptKind::Folder, title, directory, {}, {});
}

std::optional<QString> Prompts::input(const QString &title, const QString &label,
                                      const QString &defaultValue, bool password)
{
    PromptRequest r;
    r.kind = PromptKind::Input;
    r.title = title;
    r.text = label;
    r.defaultValue = defaultValue;
    r.password = password;
    r.buttons = Ok | Cancel;
    const PromptAnswer a = instance().ask(r);
    if (a.button != Ok)
        return std::nullopt;
    return a.value;
}

QString promptButtonName(int button)
{
    switch (button) {
    case Ok: return QStringLiteral("Ok");
    case Cancel: return QStringLiteral("Cancel");
    case Yes: return QStringLiteral("Yes");
    case No: return QStringLiteral("No");
    case Abort: return QStringLiteral("Abort");
    case Retry: return QStringLiteral("Retry");
    case Ignore: return QStringLiteral("Ignore");
    case Close: return QStringLiteral("Close");
    default: return QStringLiteral("None");
    }
}

} // namespace duvo
