// Inner access to the port table for tests (linked through vidrane_core).
#pragma once

#include <memory>

namespace vidrane {

class FilePlayback;
// The file player that file questions on port are answered by, or null.
std::shared_ptr<FilePlayback> file_player_for_tests(long port);

}  // namespace vidrane
