#include "cli/CliOutput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <system_error>

namespace {

// The path with its folders' links and dots resolved, for names that do not exist yet.
std::string canonicalName(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : p.string();
}

} // namespace

CliOutputs::~CliOutputs() {
    discard();
}

void CliOutputs::addInput(const std::string& path) {
    if (!path.empty())
        m_inputs.push_back(path);
}

bool CliOutputs::check(const std::string& path, bool standardOutputAllowed) {
    if (path == "-") {
        if (!standardOutputAllowed) {
            m_err << "vocalith-cli: this output cannot go to the standard output (-).\n";
            return false;
        }
        m_standardOutput = true;
        return true;
    }
    const OutputTarget target = resolveOutput(path);
    if (target.kind == OutputTarget::outputRefused)
        return cannotWrite(path);
    for (const std::string& input : m_inputs) {
        struct stat st;
        const bool same = target.exists
                              ? stat(input.c_str(), &st) == 0 && st.st_dev == target.device &&
                                    st.st_ino == target.inode
                              : canonicalName(input) == canonicalName(target.path);
        if (same) {
            m_err << "vocalith-cli: " << path << " is an input of this command; "
                  << "it is not written over.\n";
            return false;
        }
    }
    return true;
}

bool CliOutputs::add(const std::string& path, const std::string& bytes,
                     bool standardOutputAllowed) {
    if (!check(path, standardOutputAllowed))
        return false;
    Pending p;
    p.path = path;
    if (path == "-") {
        p.standardOutput = true;
        p.bytes = bytes;
    } else if (resolveOutput(path).kind == OutputTarget::outputInPlace) {
        p.bytes = bytes;
    } else {
        p.file = std::make_unique<COutputFile>();
        if (!p.file->open(path) || !p.file->write(bytes.data(), bytes.size()))
            return cannotWrite(path);
    }
    m_pending.push_back(std::move(p));
    return true;
}

std::string CliOutputs::stagedPath(const std::string& path) const {
    for (const Pending& p : m_pending)
        if (p.path == path && p.file)
            return p.file->temporaryPath();
    return std::string();
}

bool CliOutputs::commit() {
    // What goes to a device, a pipe or the standard output cannot be taken back, so it goes
    // first: when it fails, the regular files are still only temporaries and are dropped.
    for (const bool inPlace : {true, false}) {
        for (Pending& p : m_pending) {
            if (inPlace == bool(p.file))
                continue;
            bool ok = true;
            if (p.standardOutput) {
                m_out.write(p.bytes.data(), std::streamsize(p.bytes.size()));
                ok = bool(m_out.flush());
            } else {
                if (!p.file) {
                    p.file = std::make_unique<COutputFile>();
                    ok = p.file->open(p.path) && p.file->write(p.bytes.data(), p.bytes.size());
                }
                const COutputFile::resultOutput r =
                    ok ? p.file->commit() : COutputFile::outputFailed;
                // Nobody would look for the bytes in a temporary file of ours.
                if (r == COutputFile::outputKeptTemporary)
                    ::unlink(p.file->temporaryPath().c_str());
                ok = r == COutputFile::outputOk;
            }
            if (!ok) {
                cannotWrite(p.path);
                discard();
                return false;
            }
        }
    }
    m_pending.clear();
    return true;
}

void CliOutputs::discard() {
    m_pending.clear(); // each COutputFile removes its temporary
}

std::ostream& CliOutputs::status() const {
    return m_standardOutput ? m_err : m_out;
}

bool CliOutputs::cannotWrite(const std::string& path) {
    m_err << "vocalith-cli: cannot write " << path << ".\n";
    return false;
}
