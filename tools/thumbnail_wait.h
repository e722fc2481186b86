// "thumb ID... --wait [SECONDS]": after the first fetch, waits in the same
// session for the thumbnails the server's worker was asked to make, and
// fetches them again once its request list has run dry. Ending the session
// empties that list, so a later call could never see them made.
#pragma once

#include <ostream>

#include "cli.h"
#include "player_client.h"

namespace velmor::player {

// `first` is the answer to the fetch the options describe. Prints each
// thumbnail that arrives while waiting and saves it as the fetch does (into
// -o DIR). Exit code 0 when every asked thumbnail was there in the end, 1
// when one is still missing (not requested, or not made in time), 2 when
// the connection failed.
int WaitForThumbnails(const CliOptions& options, const Reply& first, PlayerClient* client,
                      std::ostream& out, std::ostream& err);

}  // namespace velmor::player
