#pragma once
#include "bulk/plan.h"

#include <QString>

namespace bulk {

// What a write that stopped early left on the tracker, group by group: the first `acknowledged`
// commands of the plan were acknowledged, `sent` of them went out (one more than acknowledged
// when the last one got no acknowledgement and may still have been applied).
// "already written: 5 of 17 commands: GPRS 3 of 3; telephone numbers 2 of 5 (SETA1,..., SETA2,...)".
// `refused`: the tracker answered the last one sent, and not with its acknowledgement.
QString writtenSoFar(const Plan& plan, int acknowledged, int sent, bool refused = false);

}  // namespace bulk
