// Putting new bytes in place of a user's file, the one way every tool does it: the bytes go whole
// to a temporary file beside the target and are flushed; one rename then replaces the target
// (MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, a single rename on NTFS
// and under Wine). At no instant is the target missing: a process killed at any point leaves it
// with its old bytes or its new ones, and at worst a temporary of ours beside it, which the next
// run removes (remove_temporaries).
#pragma once

#include <string>
#include <vector>

namespace toolbox {

// A new, empty-named temporary beside `target` ("~vqt7-<process>-<n>.tmp", or ".old" for a file
// moved aside), not yet on disk. Each call gives another name.
std::string temporary_beside(const std::string &target, bool moved_aside = false);

// Writes `bytes` whole to the new file `temporary` and flushes it to the disk. False with a
// reason ("cannot write ... (error 112)") after removing what it wrote.
bool write_flushed(const std::string &temporary, const std::string &bytes, std::string &reason);

// Flushes a file another writer has written and closed to the disk, before it is renamed into
// place. False with a reason.
bool flush_to_disk(const std::string &path, std::string &reason);

// Renames `temporary` over `target` in one step, after giving it the target's attributes (hidden,
// system, archive, not indexed) when there is a target. False with a reason; the target is then
// as it was, and the temporary still there for the caller to remove.
bool rename_over(const std::string &temporary, const std::string &target, std::string &reason);

// Deletes the temporaries of ours (toolbox::is_temporary_name) in each folder whose process has
// ended, and nothing else; the full paths of those removed.
std::vector<std::string> remove_temporaries(const std::vector<std::string> &folders);

}  // namespace toolbox
