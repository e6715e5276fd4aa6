// The job's last step: the source's tag goes into the finished file.
#include "ConversionJob.h"

void CopyTagToOutput(IConvertSource*, IConvertDestination*, bool, double) {}
