// Starts a program that fails at once, asks to be told of its end, and quits before it can be:
// the report must go nowhere, not to the application that is gone.
//   late_exit PROGRAM   prints "told" if the report arrived, "quit cleanly" at the end

#include "platform/process.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 2)
        return 2;
    {
        QCoreApplication application(argc, argv);
        const platform::ExitWatch watch{platform::Receiver::of(&application),
                                        [](const platform::ProcessExit &) { std::puts("told"); }};
        if (!platform::startDetached({QString::fromLocal8Bit(argv[1]), {}, {}, {}, {}}, watch))
            return 3;
    } // the application is gone, the program's end still to come
    QThread::msleep(1500);
    std::puts("quit cleanly");
    return 0;
}
