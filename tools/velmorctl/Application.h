// velmorctl as a whole: parse the command line, then run it or start the shell.
#ifndef VELMORCTL_APPLICATION_H
#define VELMORCTL_APPLICATION_H

class Application
{
public:
    int run(int argc, char **argv) const;
};

#endif
