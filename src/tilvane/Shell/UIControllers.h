#pragma once

#include "Advanced/AdvancedViewController.h"
#include "Preferences/PreferencesViewController.h"
#include "Shell/MenuBar/MenuBarController.h"
