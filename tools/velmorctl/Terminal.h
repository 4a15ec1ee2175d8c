// Whether a standard stream is a terminal (a console on Windows): the shell prompts only there,
// and the progress bar redraws itself only there.
#ifndef VELMORCTL_TERMINAL_H
#define VELMORCTL_TERMINAL_H

class Terminal
{
public:
    static bool isStandardInput();
    static bool isStandardError();
};

#endif
