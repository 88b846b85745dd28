// Identification of the register: the "0^" exchange, the parse of its reply
// and the decision which model the reply names. No Qt here.
#pragma once

#include <string>

class Connection;

#include "Tabele.h"  // kModelCount

// The four register models, by model index.
extern const char* const kModelTexts[kModelCount];        // as the register names itself
extern const char* const kModelChoiceTexts[kModelCount];  // entries of the model choice
constexpr const char* kModel20kText = "ZELTRA ARK MAXI 20k";

// The fields of an identification reply, as received.
struct IdentificationReply {
    std::string modelText;  // empty: no usable answer
    std::string version;
    std::string serial;     // already in display order
    std::string capacity;   // "10k", "20k" or empty when the reply has no marker
};

// Parses the reply text (from its ESC on; the reply area as text).
IdentificationReply ParseIdentification(const std::string& reply);

// What the reply means for the program.
struct Identification {
    bool onLine = false;
    int model = 1;              // the decided model index (unchanged when unknown)
    std::string shownModel;     // the top line's model text; empty OFF-LINE
    std::string serial;
    std::string version;
    std::string capacity;
};

// Applies the model decision to a parsed reply; currentModel is kept when the
// model text names none of the four models.
Identification DecideModel(const IdentificationReply& reply, int currentModel);

// Sends "0^", reads the reply (warning on a time-out) and decides the model.
// Reads no status reply: the callers do that as their sequence requires.
Identification Identify(Connection& link, int currentModel);
