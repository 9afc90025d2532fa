// A system library the program loads when it first needs it rather than at its start
// (the sound output, the print service): each such library brought a row of others along,
// and loading them all made every start slower. The library is opened once, with every
// function the program uses looked up at once, so a library that lacks one is told
// before anything is done with it.
#pragma once
#include <QString>

namespace tobrel {

class LoadedLibrary {
public:
    // Opens the library by its file name (as in the package: "libcups.so.2").
    explicit LoadedLibrary(const char *fileName);
    LoadedLibrary(const LoadedLibrary &) = delete;
    LoadedLibrary &operator=(const LoadedLibrary &) = delete;

    // Empty when the library and every function looked up were found; otherwise what
    // was missing, naming the library.
    const QString &problem() const { return m_problem; }

protected:
    // Sets `function` to the library's function `name`; a missing one is the problem.
    template <class Function>
    void lookUp(Function *&function, const char *name)
    {
        function = reinterpret_cast<Function *>(symbol(name));
    }

private:
    void *symbol(const char *name);
    QString m_fileName;
    void *m_handle = nullptr;
    QString m_problem;
};

// The library `Library` (a LoadedLibrary of the given file name), opened the first time it
// is asked for, on whichever thread asks first.
template <class Library>
const Library &loadedOnce()
{
    static const Library library;
    return library;
}

} // namespace tobrel

// Declares `Name`, the library of file `fileName` with a member of the same name and type
// for each function FUNCTIONS(X) lists as X(function), each looked up as it is opened.
#define TOBREL_LOADED_LIBRARY(Name, fileName, FUNCTIONS)                                                               \
    struct Name final : ::tobrel::LoadedLibrary {                                                                      \
        FUNCTIONS(TOBREL_LIBRARY_POINTER)                                                                              \
        Name() : LoadedLibrary(fileName) { FUNCTIONS(TOBREL_LIBRARY_LOOK_UP) }                                         \
    }
#define TOBREL_LIBRARY_POINTER(function) decltype(&::function) function = nullptr;
#define TOBREL_LIBRARY_LOOK_UP(function) lookUp(function, #function);
