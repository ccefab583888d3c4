#pragma once

// Every public header of the profile-analysis library.

#include <mosa_package/profile.hpp>
#include <mosa_profile/calibration.hpp>
#include <mosa_profile/cycle_arithmetic.hpp>
#include <mosa_profile/exchange_activity_summary.hpp>
#include <mosa_profile/exchange_boundaries.hpp>
#include <mosa_profile/exchange_roles.hpp>
#include <mosa_profile/query.hpp>
#include <mosa_profile/query_model.hpp>
#include <mosa_profile/query_selection.hpp>
#include <mosa_profile/step_classification.hpp>
#include <mosa_profile/time_origin.hpp>
