#include "app/modDuvix.h"

#include "app/frmDuvix.h"

namespace modDuvix {

void Main() {
    frmDuvix& form = platform::Instance<frmDuvix>();
    form.Load();
    form.Show(platform::Form::ShowMode::Modeless);
}

}  // namespace modDuvix
