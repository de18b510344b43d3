#include "model/xover_record.h"

#include "image/record_layout.h"

void WriteXoverRecord(BYTE* record, const CKTVEQ& eq) {
    const CFilter* high = eq.GetHighPass();
    const CFilter* low = eq.GetLowPass();
    PutWord(record + kXoverHighFreq, static_cast<unsigned>(high->GetSentFreq()));
    record[kXoverHighFamily] = static_cast<BYTE>(high->GetXoverType());
    record[kXoverHighSlope] = static_cast<BYTE>(high->GetSlope());
    PutWord(record + kXoverLowFreq, static_cast<unsigned>(low->GetSentFreq()));
    record[kXoverLowFamily] = static_cast<BYTE>(low->GetXoverType());
    record[kXoverLowSlope] = static_cast<BYTE>(low->GetSlope());
}

void LoadXoverFilterPlain(CFilter* filter, int freq, BYTE family, BYTE slope) {
    filter->SetFreq(freq, false);
    filter->SetXoverType(family, false);
    filter->SetSlope(slope, false);
    filter->StepSentFreq(false);
}

void LoadXoverRecord(CKTVEQ& eq, const BYTE* record, XoverLoader loader) {
    loader(eq.GetHighPass(), GetWord(record + kXoverHighFreq), record[kXoverHighFamily],
           record[kXoverHighSlope]);
    loader(eq.GetLowPass(), GetWord(record + kXoverLowFreq), record[kXoverLowFamily],
           record[kXoverLowSlope]);
}
