#include "app/Unit1.h"

// The step that handles a reply in each conversation state. A null entry runs
// nothing: in cvIdle a packet is logged and otherwise ignored.
const TForm1::TStep TForm1::FSteps[ConversationStateCount] = {
    nullptr,                       // cvIdle
    &TForm1::InitAnswerStep,       // cvAwaitInitAnswer
    &TForm1::DefinitionStep,       // cvAwaitDefinition
    &TForm1::JobStep,              // cvAwaitJob
    &TForm1::StoreInitStep,        // cvAwaitStoreInit
    &TForm1::StoreGrantStep,       // cvAwaitStoreGrant
    &TForm1::StoreResultStep,      // cvAwaitStoreResult
    &TForm1::StoreDefinitionStep,  // cvAwaitStoreDefinition
};
