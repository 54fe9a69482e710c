// The project database model in one include: every class of the model, its enumerations and
// the hooks that connect it to the expression evaluator.
#pragma once

#include "database/sx_actions.h"
#include "database/sx_component.h"
#include "database/sx_condition_object.h"
#include "database/sx_enums.h"
#include "database/sx_feature.h"
#include "database/sx_install_items.h"
#include "database/sx_launch_condition.h"
#include "database/sx_main_database.h"
#include "database/sx_odbc.h"
#include "database/sx_package.h"
#include "database/sx_plugin.h"
#include "database/sx_variable.h"
