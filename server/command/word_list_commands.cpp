#include "command/word_list_commands.h"

#include <string>

#include "command/command_context.h"
#include "command/search_commands.h"
#include "library/word_list.h"

namespace velmor {

int CommandWordListGetNum(CommandContext& context, const CommandRequest&, CommandReply* reply) {
  const WordList* words = context.library.word_list();
  if (words == nullptr) return 0;
  reply->Set(0, static_cast<int64_t>(words->words().size()));
  return 1;
}

int CommandWordListGetItemN(CommandContext& context, const CommandRequest& request,
                            CommandReply* reply) {
  const WordList* words = context.library.word_list();
  size_t start = 0;
  size_t count = 0;
  if (words == nullptr || !ReadResultRange(request, &start, &count)) return 0;
  const std::vector<S_WORD>& entries = words->words();
  for (size_t k = 0; k < count && start + k < entries.size(); ++k) {
    const S_WORD& entry = entries[start + k];
    reply->Set(static_cast<int>(k), 0, "<id>\"" + entry.id + "\",<word>\"" + entry.word + "\"");
  }
  return 1;
}

int CommandWordListAdd(CommandContext& context, const CommandRequest& request, CommandReply*) {
  WordList* words = context.library.word_list();
  if (words == nullptr || !request.Has(2)) return 0;
  return words->Add(request.Text(1), request.Text(2));
}

int CommandWordListDel(CommandContext& context, const CommandRequest& request, CommandReply*) {
  WordList* words = context.library.word_list();
  if (words == nullptr || !request.Has(2)) return 0;
  words->Remove(request.Text(1), request.Text(2));
  return 1;
}

// The file's own result: a list that could not be written is no success.
int CommandWordListSave(CommandContext& context, const CommandRequest&, CommandReply*) {
  WordList* words = context.library.word_list();
  return words != nullptr ? words->Save() : 0;
}

// A fresh server has no word list file yet and the player expects no error
// from a load: a file that is missing or unreadable leaves the list as it is
// and the load still succeeds. A failed save is reported.
int CommandWordListLoad(CommandContext& context, const CommandRequest&, CommandReply*) {
  WordList* words = context.library.word_list();
  if (words == nullptr) return 0;
  words->Load();
  return 1;
}

int CommandWordListIsUpdate(CommandContext& context, const CommandRequest&, CommandReply* reply) {
  const WordList* words = context.library.word_list();
  if (words == nullptr) return 0;
  reply->Set(0, words->IsUpdated() ? 1 : 0);
  return 1;
}

}  // namespace velmor
