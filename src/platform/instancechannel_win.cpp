#include "platform/instancechannel.h"

#include <windows.h>

namespace platform {

namespace {

constexpr ULONG_PTR kMessageKind = 0x51564331; // "QVC1": a message of this channel's
constexpr UINT kWaitMs = 2000;
constexpr DWORD kLongestMessage = 64 * 1024;

std::wstring className(const QString &name) { return (QStringLiteral("QuorvaneChannel-") + name).toStdWString(); }

} // namespace

// A message-only window of a class named after the channel: found by a later start, and sent
// WM_COPYDATA, which Windows copies across the processes.
struct InstanceChannel::Listener {
    std::wstring windowClass;
    HWND window = nullptr;

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_COPYDATA) {
            auto *channel = reinterpret_cast<InstanceChannel *>(GetWindowLongPtrW(window, GWLP_USERDATA));
            const auto *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
            if (!channel || !data || data->dwData != kMessageKind || data->cbData > kLongestMessage)
                return FALSE;
            const QByteArray got(static_cast<const char *>(data->lpData), qsizetype(data->cbData));
            QMetaObject::invokeMethod(channel, [channel, got] { emit channel->received(got); }, Qt::QueuedConnection);
            return TRUE;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
};

bool InstanceChannel::send(const QString &name, const QByteArray &message)
{
    const std::wstring windowClass = className(name);
    HWND other = FindWindowExW(HWND_MESSAGE, nullptr, windowClass.c_str(), nullptr);
    if (!other)
        return false;
    DWORD otherProcess = 0;
    GetWindowThreadProcessId(other, &otherProcess);
    AllowSetForegroundWindow(otherProcess); // so that it may come to the front
    COPYDATASTRUCT data{kMessageKind, DWORD(message.size()), const_cast<char *>(message.constData())};
    DWORD_PTR taken = FALSE;
    return SendMessageTimeoutW(other, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kWaitMs, &taken) != 0
           && taken == TRUE;
}

InstanceChannel::InstanceChannel(const QString &name, QObject *parent)
    : QObject(parent), m_listener(std::make_unique<Listener>())
{
    m_listener->windowClass = className(name);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Listener::procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = m_listener->windowClass.c_str();
    RegisterClassExW(&windowClass);
    m_listener->window = CreateWindowExW(0, m_listener->windowClass.c_str(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         windowClass.hInstance, nullptr);
    if (m_listener->window)
        SetWindowLongPtrW(m_listener->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

InstanceChannel::~InstanceChannel()
{
    if (m_listener->window)
        DestroyWindow(m_listener->window);
    UnregisterClassW(m_listener->windowClass.c_str(), GetModuleHandleW(nullptr));
}

bool InstanceChannel::isListening() const { return m_listener->window != nullptr; }

} // namespace platform
