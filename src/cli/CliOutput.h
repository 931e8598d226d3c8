#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "engine/sound/OutputFile.h"

// The files one vocalith-cli command writes, held back until the command has succeeded:
// a command that fails writes nothing and leaves every existing output as it was.
//
// Each output goes through COutputFile (links written through, devices and pipes in place,
// regular files replaced by a rename). A regular file's bytes go to its temporary file at
// once, so large outputs are not kept in memory; a device's or pipe's wait in memory, as
// writing them cannot be undone. "-" is the command's standard output where the command
// allows it. An output that is one of the command's own input files is refused.
// Messages go to `err`, prefixed "vocalith-cli: ".
class CliOutputs {
public:
    CliOutputs(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}
    ~CliOutputs();
    CliOutputs(const CliOutputs&) = delete;
    CliOutputs& operator=(const CliOutputs&) = delete;

    // A file the command reads; an output naming it is refused.
    void addInput(const std::string& path);
    // Whether `path` may take an output, so that a command can refuse it before its work.
    bool check(const std::string& path, bool standardOutputAllowed = true);
    // Takes one output; false (with a message) when it cannot be taken.
    bool add(const std::string& path, const std::string& bytes, bool standardOutputAllowed = true);
    // Where a regular output's bytes can be read before commit() (its temporary file), else "".
    std::string stagedPath(const std::string& path) const;
    // Puts every output in place, in the order they were added; false (with a message) at
    // the first that fails, the others then dropped.
    bool commit();
    // Drops every output not yet in place.
    void discard();

    // Where progress lines ("wrote ...") belong: the standard error when an output takes the
    // standard output, else the standard output.
    std::ostream& status() const;
    bool writesStandardOutput() const { return m_standardOutput; }

private:
    struct Pending {
        std::string path;
        std::unique_ptr<COutputFile> file; // a regular file, written already
        std::string bytes;                 // a device, a pipe or the standard output
        bool standardOutput = false;
    };
    bool cannotWrite(const std::string& path);

    std::ostream& m_out;
    std::ostream& m_err;
    std::vector<std::string> m_inputs;
    std::vector<Pending> m_pending;
    bool m_standardOutput = false; // some check() or add() named "-"
};
