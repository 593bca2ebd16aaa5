// Dialog building blocks: control models, the form, file dialogs and the
// modal drivers that play the user.
#pragma once

#include "Platform/Forms/Buttons.h"
#include "Platform/Forms/ConsoleDriver.h"
#include "Platform/Forms/Control.h"
#include "Platform/Forms/Edits.h"
#include "Platform/Forms/FileDialogs.h"
#include "Platform/Forms/Form.h"
#include "Platform/Forms/Lists.h"
#include "Platform/Forms/Panes.h"
