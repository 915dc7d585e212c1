#include "app/Unit1.h"

// The step that handles a reply in each conversation state. A null entry runs
// nothing: in cvIdle a packet is logged and otherwise ignored.
const TForm1::TStep TForm1::FSteps[ConversationStateCount] = {
    nullptr,  // cvIdle
    nullptr,  // cvAwaitInitAnswer
    nullptr,  // cvAwaitDefinition
    nullptr,  // cvAwaitJob
    nullptr,  // cvAwaitStoreInit
    nullptr,  // cvAwaitStoreGrant
    nullptr,  // cvAwaitStoreResult
    nullptr,  // cvAwaitStoreDefinition
};
