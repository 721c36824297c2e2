// Every rule the validator knows, each defined once: its id, default
// severity, category, family, the message it reports, the section of the
// standard it enforces and, where it differs from the message, the catalogue
// description. The few rules that report a second wording name it as a
// variant below their rule. CATALOG lists the rules in catalogue order.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "report.h"

namespace adsieve::rule {

inline constexpr Rule vast_mediafile_apiframework{
    "VAST-4.0-mediafile-apiframework", Severity::Info, 0, Family::Deprecated,
    "<MediaFile apiFramework> is deprecated in VAST 4.0+ — use <InteractiveCreativeFile> instead",
    "IAB VAST 4.0 §2.3.5.2"};
inline constexpr Rule vast_macro_deprecated{
    "VAST-4.1-macro-deprecated", Severity::Info, 0, Family::Macros,
    "[CONTENTPLAYHEAD] and [MEDIAPLAYHEAD] are deprecated as of VAST 4.1 — use [ADPLAYHEAD]",
    "IAB VAST 4.1 §6",
    "[CONTENTPLAYHEAD]/[MEDIAPLAYHEAD] are deprecated as of VAST 4.1 — use [ADPLAYHEAD]"};
inline constexpr Rule vast_macro_wrong_context{
    "VAST-2.0-macro-wrong-context", Severity::Info, 0, Family::Macros,
    "Context-restricted macro used where it has no defined value ([ERRORCODE] only in <Error>, [REASON] only in verificationNotExecuted tracking)",
    "IAB VAST 4.2 §6",
    "Context-restricted macro ([ERRORCODE]/[REASON]) used where it has no defined value"};
inline constexpr Rule vast_wrapper_root_error{
    "VAST-4.0-wrapper-root-error", Severity::Warning, 0, Family::Required,
    "<VAST> root contains both <Ad> and <Error> elements — only one type is allowed per VAST 4.0",
    "IAB VAST 4.0 §2.1"};
inline constexpr Rule vast_ad_sequence{
    "VAST-2.0-ad-sequence", Severity::Warning, 0, Family::Structure,
    "Multiple <Ad> elements present but sequence attribute is missing on some — ambiguous ordering",
    "IAB VAST 2.0 §2.2",
    "Mixed use of sequence attribute across <Ad> elements in a pod"};
inline constexpr Rule vast_extension_misplaced_element{
    "VAST-2.0-extension-misplaced-element", Severity::Warning, 0, Family::Schema,
    "<Extension> contains an element that has a dedicated location in the VAST spec — likely misplaced",
    "IAB VAST 2.0 §2"};
inline constexpr Rule vast_creative_extension_misplaced_element{
    "VAST-2.0-creative-extension-misplaced-element", Severity::Warning, 0, Family::Schema,
    "<Extension> contains an element that has a dedicated location in the VAST spec — likely misplaced",
    "IAB VAST 2.0 §2"};
inline constexpr Rule vast_url_cdata{
    "VAST-2.0-url-cdata", Severity::Warning, 0, Family::Security,
    "URI value is not wrapped in CDATA",
    "IAB VAST 2.0 §2"};
inline constexpr Rule vast_conditionalad{
    "VAST-4.0-conditionalad", Severity::Warning, 0, Family::Deprecated,
    "conditionalAd attribute is deprecated as of VAST 4.1",
    "IAB VAST 4.1 §2.2.1"};
inline constexpr Rule vast_survey_deprecated{
    "VAST-4.1-survey-deprecated", Severity::Warning, 0, Family::Deprecated,
    "<Survey> is deprecated as of VAST 4.1 — use <Extensions> or a custom solution",
    "IAB VAST 4.1 §4"};
inline constexpr Rule vast_vpaid_apiframework{
    "VAST-4.1-vpaid-apiframework", Severity::Warning, 0, Family::Deprecated,
    "apiFramework=\"VPAID\" is deprecated as of VAST 4.1 — use SIMID or OMID instead",
    "IAB VAST 4.1 §2.3.5.1"};
inline constexpr Rule vast_icon_attrs{
    "VAST-3.0-icon-attrs", Severity::Warning, 0, Family::Ambiguous,
    "Icon is missing a recommended attribute — the spec requires program, width, height, xPosition and yPosition",
    "IAB VAST 3.0 §2.4.2"};
inline constexpr Rule vast_nonlinear_dimensions{
    "VAST-2.0-nonlinear-dimensions", Severity::Warning, 0, Family::Ambiguous,
    "NonLinear is missing width or height — required by spec, optional in XSD",
    "IAB VAST 2.0 §2.3.6.1"};
inline constexpr Rule vast_companion_dimensions{
    "VAST-2.0-companion-dimensions", Severity::Warning, 0, Family::Ambiguous,
    "Companion is missing width or height — required by spec, optional in XSD",
    "IAB VAST 2.0 §2.3.7.1"};
inline constexpr Rule vast_wrapper_clickthrough{
    "VAST-4.0-wrapper-clickthrough", Severity::Warning, 0, Family::Ambiguous,
    "<ClickThrough> inside Wrapper <VideoClicks> was removed in VAST 4.0",
    "IAB VAST 4.0 §2.4.1"};
inline constexpr Rule vast_icon_fallback_image_width_height{
    "VAST-4.2-icon-fallback-image-width-height", Severity::Warning, 0, Family::Ambiguous,
    "<IconClickFallbackImage> should have width and height attributes so the player can size the overlay",
    "IAB VAST 4.2 §2.3.6.4"};
inline constexpr Rule vast_universaladid_idvalue_removed{
    "VAST-4.1-universaladid-idvalue-removed", Severity::Warning, 0, Family::Required,
    "<UniversalAdId> idValue attribute was removed in VAST 4.1 — value should be in element text content",
    "IAB VAST 4.1 §2.3.5.3"};
inline constexpr Rule vast_verification_no_resource{
    "VAST-4.1-verification-no-resource", Severity::Warning, 0, Family::Required,
    "<Verification> should contain at least one JavaScriptResource or ExecutableResource",
    "IAB VAST 4.1 §2.4"};
inline constexpr Rule vast_verification_vendor_format{
    "VAST-4.1-verification-vendor-format", Severity::Warning, 0, Family::Required,
    "<Verification> vendor should use a domain-qualified key such as \"iabtechlab.com-omid\"",
    "IAB VAST 4.1 §3.17",
    "<Verification> vendor should use a domain-qualified key such as "};
inline constexpr Rule vast_verification_duplicate_vendor{
    "VAST-4.1-verification-duplicate-vendor", Severity::Warning, 0, Family::Required,
    "<AdVerifications> contains more than one <Verification> entry for the same vendor",
    "IAB VAST 4.1 §3.17"};
inline constexpr Rule vast_verification_parameters{
    "VAST-4.1-verification-parameters", Severity::Warning, 0, Family::Required,
    "OMID <Verification> should include non-empty <VerificationParameters> for bootstrap metadata",
    "IAB VAST 4.3 §3.17.5"};
inline constexpr Rule vast_verification_tracking_reason{
    "VAST-4.1-verification-tracking-reason", Severity::Warning, 0, Family::Required,
    "verificationNotExecuted tracking URI should include the [REASON] macro",
    "IAB VAST 4.3 §3.17.4"};
inline constexpr Rule vast_blockedadcategories_no_authority{
    "VAST-4.1-blockedadcategories-no-authority", Severity::Warning, 0, Family::Required,
    "<BlockedAdCategories> should have an authority attribute to identify the taxonomy",
    "IAB VAST 4.1 §2.3.2"};
inline constexpr Rule vast_interactive_creative_no_api{
    "VAST-4.0-interactive-creative-no-api", Severity::Warning, 0, Family::Required,
    "<InteractiveCreativeFile> should have an apiFramework attribute (e.g. \"SIMID\")",
    "IAB VAST 4.0 §2.3.5.4"};
inline constexpr Rule vast_js_resource_apiframework_value{
    "VAST-4.1-js-resource-apiframework-value", Severity::Warning, 0, Family::Required,
    "OMID <JavaScriptResource> should declare apiFramework=\"omid\" exactly",
    "IAB VAST 4.1 §3.17.1"};
inline constexpr Rule vast_js_resource_browser_optional{
    "VAST-4.3-js-resource-browser-optional", Severity::Warning, 0, Family::Required,
    "<JavaScriptResource> should have a browserOptional attribute (required since VAST 4.3)",
    "IAB VAST 4.3 §3.17.1"};
inline constexpr Rule vast_exec_resource_apiframework_value{
    "VAST-4.1-exec-resource-apiframework-value", Severity::Warning, 0, Family::Required,
    "OMID <ExecutableResource> should declare apiFramework=\"omid\" exactly",
    "IAB VAST 4.1 §3.17.2"};
inline constexpr Rule vast_skipoffset_format{
    "VAST-3.0-skipoffset-format", Severity::Warning, 0, Family::Values,
    "Linear skipoffset attribute does not match required format (HH:MM:SS[.mmm] or n%)",
    "IAB VAST 3.0 §2.3.6"};
inline constexpr Rule vast_progress_offset_format{
    "VAST-3.0-progress-offset-format", Severity::Warning, 0, Family::Values,
    "<Tracking event=\"progress\"> offset attribute does not match required format (HH:MM:SS[.mmm] or n%)",
    "IAB VAST 3.0 §2.3.6"};
inline constexpr Rule vast_skip_event_no_skipoffset{
    "VAST-3.0-skip-event-no-skipoffset", Severity::Warning, 0, Family::Values,
    "<Tracking event=\"skip\"> present but <Linear> has no skipoffset attribute",
    "IAB VAST 3.0 §2.3.6"};
inline constexpr Rule vast_bitrate_conflict{
    "VAST-3.0-bitrate-conflict", Severity::Warning, 0, Family::Values,
    "<MediaFile> should not specify both bitrate and minBitrate/maxBitrate",
    "IAB VAST 3.0 §2.3.5.2"};
inline constexpr Rule vast_tracking_event_removed{
    "VAST-4.0-tracking-event-removed", Severity::Warning, 0, Family::Values,
    "Tracking event \"fullscreen\"/\"exitFullscreen\" was removed in VAST 4.0 — use playerExpand/playerCollapse",
    "IAB VAST 4.0 §2.3.6"};
inline constexpr Rule vast_macro_unknown{
    "VAST-2.0-macro-unknown", Severity::Warning, 0, Family::Macros,
    "URL contains a [MACRO] that is not a recognised IAB VAST macro — check for a typo, or disable this rule if it is a vendor-specific macro",
    "IAB VAST 4.2 §6",
    "URL contains a [MACRO] that is not a recognised IAB VAST macro"};
inline constexpr Rule vast_macro_lowercase{
    "VAST-2.0-macro-lowercase", Severity::Warning, 0, Family::Macros,
    "Recognised macro is not uppercase — players match macro names case-sensitively and will not substitute it",
    "IAB VAST 4.2 §6",
    "Recognised macro is not uppercase — players match macro names case-sensitively"};
inline constexpr Rule vast_root_element{
    "VAST-2.0-root-element", Severity::Error, 0, Family::Required,
    "Root element must be <VAST>",
    "IAB VAST 2.0 §2"};
inline constexpr Rule vast_root_version{
    "VAST-2.0-root-version", Severity::Error, 0, Family::Required,
    "Root <VAST> element is missing the required version attribute",
    "IAB VAST 2.0 §2.1"};
inline constexpr Rule vast_root_has_ad_or_error{
    "VAST-2.0-root-has-ad-or-error", Severity::Error, 0, Family::Required,
    "<VAST> contains neither <Ad> nor <Error> — response is empty",
    "IAB VAST 2.0 §2"};
inline constexpr Rule vast_ad_has_inline_or_wrapper{
    "VAST-2.0-ad-has-inline-or-wrapper", Severity::Error, 0, Family::Required,
    "<Ad> must contain either <InLine> or <Wrapper>",
    "IAB VAST 2.0 §2.2"};
inline constexpr Rule vast_inline_adsystem{
    "VAST-2.0-inline-adsystem", Severity::Error, 0, Family::Required,
    "<InLine> is missing required <AdSystem>",
    "IAB VAST 2.0 §2.3.1"};
inline constexpr Rule vast_inline_adtitle{
    "VAST-2.0-inline-adtitle", Severity::Error, 0, Family::Required,
    "<InLine> is missing required <AdTitle>",
    "IAB VAST 2.0 §2.3.2"};
inline constexpr Rule vast_inline_impression{
    "VAST-2.0-inline-impression", Severity::Error, 0, Family::Required,
    "<InLine> is missing required <Impression>",
    "IAB VAST 2.0 §2.3.4"};
inline constexpr Rule vast_inline_creatives{
    "VAST-2.0-inline-creatives", Severity::Error, 0, Family::Required,
    "<InLine> is missing required <Creatives>",
    "IAB VAST 2.0 §2.3.5"};
inline constexpr Rule vast_adservingid_present{
    "VAST-4.1-adservingid-present", Severity::Error, 0, Family::Required,
    "<InLine> is missing required <AdServingId> (required since VAST 4.1)",
    "IAB VAST 4.1 §3.4.1"};
inline constexpr Rule vast_universaladid_present{
    "VAST-4.0-universaladid-present", Severity::Error, 0, Family::Required,
    "<Creative> is missing required <UniversalAdId> (required since VAST 4.0)",
    "IAB VAST 4.0 §3.8.1"};
inline constexpr Rule vast_universaladid_idregistry{
    "VAST-4.0-universaladid-idregistry", Severity::Error, 0, Family::Required,
    "<UniversalAdId> is missing required idRegistry attribute",
    "IAB VAST 4.0 §3.8.1"};
inline constexpr Rule vast_linear_duration{
    "VAST-2.0-linear-duration", Severity::Error, 0, Family::Required,
    "<Linear> is missing required <Duration>",
    "IAB VAST 2.0 §2.3.5.1"};
inline constexpr Rule vast_linear_mediafiles{
    "VAST-2.0-linear-mediafiles", Severity::Error, 0, Family::Required,
    "<Linear> is missing required <MediaFiles>",
    "IAB VAST 2.0 §2.3.5.2"};
inline constexpr Rule vast_mediafile_delivery{
    "VAST-2.0-mediafile-delivery", Severity::Error, 0, Family::Required,
    "<MediaFile> is missing required delivery attribute",
    "IAB VAST 2.0 §2.3.5.2"};
inline constexpr Rule vast_mediafile_type{
    "VAST-2.0-mediafile-type", Severity::Error, 0, Family::Required,
    "<MediaFile> is missing required type attribute",
    "IAB VAST 2.0 §2.3.5.2"};
inline constexpr Rule vast_mediafile_dimensions{
    "VAST-2.0-mediafile-dimensions", Severity::Error, 0, Family::Required,
    "<MediaFile> is missing required width attribute",
    "IAB VAST 2.0 §2.3.5.2"};
inline constexpr Rule vast_wrapper_adsystem{
    "VAST-2.0-wrapper-adsystem", Severity::Error, 0, Family::Required,
    "<Wrapper> is missing required <AdSystem>",
    "IAB VAST 2.0 §2.3.1"};
inline constexpr Rule vast_wrapper_impression{
    "VAST-2.0-wrapper-impression", Severity::Error, 0, Family::Required,
    "<Wrapper> is missing required <Impression>",
    "IAB VAST 2.0 §2.3.4"};
inline constexpr Rule vast_wrapper_vastadtaguri{
    "VAST-2.0-wrapper-vastadtaguri", Severity::Error, 0, Family::Required,
    "<Wrapper> is missing required <VASTAdTagURI>",
    "IAB VAST 2.0 §2.4"};
inline constexpr Rule vast_companion_resource{
    "VAST-2.0-companion-resource", Severity::Error, 0, Family::Required,
    "<Companion> must contain at least one StaticResource, IFrameResource, or HTMLResource",
    "IAB VAST 2.0 §2.3.7"};
inline constexpr Rule vast_nonlinear_resource{
    "VAST-2.0-nonlinear-resource", Severity::Error, 0, Family::Required,
    "<NonLinear> must contain at least one StaticResource, IFrameResource, or HTMLResource",
    "IAB VAST 2.0 §2.3.6.1"};
inline constexpr Rule vast_wrapper_depth{
    "VAST-2.0-wrapper-depth", Severity::Error, 0, Family::Structure,
    "Wrapper chain depth exceeds the maximum allowed limit",
    "IAB VAST 4.x §2.3",
    "Wrapper chain depth exceeds the configured maximum"};
inline constexpr Rule vast_url_empty{
    "VAST-2.0-url-empty", Severity::Error, 0, Family::Security,
    "URL field is empty — expected a URI",
    "IAB VAST 2.0 §2",
    "URL field is empty"};
inline constexpr Rule vast_progress_offset{
    "VAST-3.0-progress-offset", Severity::Error, 0, Family::Ambiguous,
    "<Tracking event=\"progress\"> requires an offset attribute — the XSD allows it to be absent but the spec mandates it",
    "IAB VAST 3.0 §2.3.6"};
inline constexpr Rule vast_pricing_model{
    "VAST-3.0-pricing-model", Severity::Error, 0, Family::Required,
    "<Pricing> is missing required model attribute",
    "IAB VAST 3.0 §2.3.10"};
inline constexpr Rule vast_pricing_currency{
    "VAST-3.0-pricing-currency", Severity::Error, 0, Family::Required,
    "<Pricing> is missing required currency attribute",
    "IAB VAST 3.0 §2.3.10"};
inline constexpr Rule vast_icon_program{
    "VAST-3.0-icon-program", Severity::Error, 0, Family::Required,
    "<Icon> is missing required program attribute",
    "IAB VAST 3.0 §2.3.6.4"};
inline constexpr Rule vast_icon_width{
    "VAST-3.0-icon-width", Severity::Error, 0, Family::Required,
    "<Icon> is missing required width attribute",
    "IAB VAST 3.0 §2.3.6.4"};
inline constexpr Rule vast_icon_height{
    "VAST-3.0-icon-height", Severity::Error, 0, Family::Required,
    "<Icon> is missing required height attribute",
    "IAB VAST 3.0 §2.3.6.4"};
inline constexpr Rule vast_icon_xposition{
    "VAST-3.0-icon-xposition", Severity::Error, 0, Family::Required,
    "<Icon> is missing required xPosition attribute",
    "IAB VAST 3.0 §2.3.6.4"};
inline constexpr Rule vast_icon_yposition{
    "VAST-3.0-icon-yposition", Severity::Error, 0, Family::Required,
    "<Icon> is missing required yPosition attribute",
    "IAB VAST 3.0 §2.3.6.4"};
inline constexpr Rule vast_icon_resource{
    "VAST-3.0-icon-resource", Severity::Error, 0, Family::Required,
    "<Icon> must contain at least one StaticResource, IFrameResource, or HTMLResource",
    "IAB VAST 3.0 §2.3.6.4"};
inline constexpr Rule vast_category_authority{
    "VAST-4.0-category-authority", Severity::Error, 0, Family::Required,
    "<Category> is missing required authority attribute",
    "IAB VAST 4.0 §2.3.3"};
inline constexpr Rule vast_companion_clicktracking_id{
    "VAST-4.0-companion-clicktracking-id", Severity::Error, 0, Family::Required,
    "<CompanionClickTracking> is missing required id attribute",
    "IAB VAST 4.0 §2.3.8"};
inline constexpr Rule vast_universaladid_idvalue{
    "VAST-4.0-universaladid-idvalue", Severity::Error, 0, Family::Required,
    "<UniversalAdId> is missing required idValue attribute (required in VAST 4.0)",
    "IAB VAST 4.0 §2.3.5.3"};
inline constexpr Rule vast_universaladid_content{
    "VAST-4.1-universaladid-content", Severity::Error, 0, Family::Required,
    "<UniversalAdId> must have text content in VAST 4.1+ (the ID value is the element body)",
    "IAB VAST 4.1 §2.3.5.3"};
inline constexpr Rule vast_mezzanine_delivery{
    "VAST-4.1-mezzanine-delivery", Severity::Error, 0, Family::Required,
    "<Mezzanine> is missing required delivery attribute",
    "IAB VAST 4.1 §2.3.5.2"};
inline constexpr Rule vast_mezzanine_type{
    "VAST-4.1-mezzanine-type", Severity::Error, 0, Family::Required,
    "<Mezzanine> is missing required type attribute",
    "IAB VAST 4.1 §2.3.5.2"};
inline constexpr Rule vast_mezzanine_width{
    "VAST-4.1-mezzanine-width", Severity::Error, 0, Family::Required,
    "<Mezzanine> is missing required width attribute",
    "IAB VAST 4.1 §2.3.5.2"};
inline constexpr Rule vast_mezzanine_height{
    "VAST-4.1-mezzanine-height", Severity::Error, 0, Family::Required,
    "<Mezzanine> is missing required height attribute",
    "IAB VAST 4.1 §2.3.5.2"};
inline constexpr Rule vast_verification_vendor{
    "VAST-4.1-verification-vendor", Severity::Error, 0, Family::Required,
    "<Verification> is missing required vendor attribute",
    "IAB VAST 4.1 §3.17"};
inline constexpr Rule vast_js_resource_apiframework{
    "VAST-4.1-js-resource-apiframework", Severity::Error, 0, Family::Required,
    "<JavaScriptResource> is missing required apiFramework attribute",
    "IAB VAST 4.1 §3.17.1"};
inline constexpr Rule vast_exec_resource_apiframework{
    "VAST-4.1-exec-resource-apiframework", Severity::Error, 0, Family::Required,
    "<ExecutableResource> is missing required apiFramework attribute",
    "IAB VAST 4.1 §3.17.2"};
inline constexpr Rule vast_exec_resource_type{
    "VAST-4.1-exec-resource-type", Severity::Error, 0, Family::Required,
    "<ExecutableResource> is missing required type attribute",
    "IAB VAST 4.1 §3.17.2"};
inline constexpr Rule vast_duration_format{
    "VAST-2.0-duration-format", Severity::Error, 0, Family::Values,
    "<Duration> value does not match required format HH:MM:SS or HH:MM:SS.mmm",
    "IAB VAST 2.0 §2.3.5.1"};
inline constexpr Rule vast_minmaxbitrate_pair{
    "VAST-3.0-minmaxbitrate-pair", Severity::Error, 0, Family::Values,
    "<MediaFile> must have both minBitrate and maxBitrate, or neither",
    "IAB VAST 3.0 §2.3.5.2"};
inline constexpr Rule vast_root_version_value{
    "VAST-2.0-root-version-value", Severity::Warning, 1, Family::Required,
    "VAST version attribute value is not a recognised VAST version string",
    "IAB VAST 2.0 §2.1"};
inline constexpr Rule vast_unknown_attribute{
    "VAST-2.0-unknown-attribute", Severity::Warning, 1, Family::Schema,
    "Element has an attribute not defined in the VAST spec",
    "IAB VAST 2.0 §2"};
inline constexpr Rule vast_pricing_model_case{
    "VAST-3.0-pricing-model-case", Severity::Warning, 1, Family::Values,
    "<Pricing> model attribute value should be lowercase in VAST 3.0 (XSD enumerates cpm/cpc/cpe/cpv)",
    "IAB VAST 3.0 §2.3.10"};
inline constexpr Rule vast_adtype_value{
    "VAST-4.1-adtype-value", Severity::Warning, 1, Family::Values,
    "Ad adType attribute value is not in the allowed set (video, audio, hybrid)",
    "IAB VAST 4.1 §2.2.1"};
inline constexpr Rule vast_companion_renderingmode_value{
    "VAST-4.1-companion-renderingmode-value", Severity::Warning, 1, Family::Values,
    "Companion renderingMode attribute value is not in allowed set (default, end-card, concurrent)",
    "IAB VAST 4.1 §2.3.8"};
inline constexpr Rule vast_companion_required_attr{
    "VAST-3.0-companion-required-attr", Severity::Warning, 1, Family::Values,
    "<CompanionAds> required attribute must be \"all\", \"any\", or \"none\"",
    "IAB VAST 3.0 §2.3.8"};
inline constexpr Rule vast_text_only_element{
    "VAST-2.0-text-only-element", Severity::Error, 1, Family::Schema,
    "Element is text-only per spec but contains a child element",
    "IAB VAST 2.0 §2"};
inline constexpr Rule vast_inline_unknown_child{
    "VAST-2.0-inline-unknown-child", Severity::Error, 1, Family::Schema,
    "<InLine> contains an unrecognised child element",
    "IAB VAST 2.0 §2.3.1"};
inline constexpr Rule vast_wrapper_unknown_child{
    "VAST-2.0-wrapper-unknown-child", Severity::Error, 1, Family::Schema,
    "<Wrapper> contains an unrecognised child element",
    "IAB VAST 2.0 §2.3.2"};
inline constexpr Rule vast_creatives_unknown_child{
    "VAST-2.0-creatives-unknown-child", Severity::Error, 1, Family::Schema,
    "<Creatives> may only contain <Creative> elements",
    "IAB VAST 2.0 §2.3.5"};
inline constexpr Rule vast_creative_unknown_child{
    "VAST-2.0-creative-unknown-child", Severity::Error, 1, Family::Schema,
    "<Creative> contains an unrecognised child element",
    "IAB VAST 2.0 §2.3.5"};
inline constexpr Rule vast_linear_unknown_child{
    "VAST-2.0-linear-unknown-child", Severity::Error, 1, Family::Schema,
    "<Linear> contains an unrecognised child element",
    "IAB VAST 2.0 §2.3.6"};
inline constexpr Rule vast_trackingevents_unknown_child{
    "VAST-2.0-trackingevents-unknown-child", Severity::Error, 1, Family::Schema,
    "<TrackingEvents> may only contain <Tracking> elements",
    "IAB VAST 2.0 §2.3.6"};
inline constexpr Rule vast_mediafiles_unknown_child{
    "VAST-2.0-mediafiles-unknown-child", Severity::Error, 1, Family::Schema,
    "<MediaFiles> contains an unrecognised child element",
    "IAB VAST 2.0 §2.3.5.2"};
inline constexpr Rule vast_extensions_unknown_child{
    "VAST-2.0-extensions-unknown-child", Severity::Error, 1, Family::Schema,
    "<Extensions> may only contain <Extension> elements",
    "IAB VAST 3.0 §3.1"};
inline constexpr Rule vast_videoclicks_unknown_child{
    "VAST-2.0-videoclicks-unknown-child", Severity::Error, 1, Family::Schema,
    "<VideoClicks> contains an unrecognised child element",
    "IAB VAST 2.0 §2.3.6"};
inline constexpr Rule vast_nonlinearads_unknown_child{
    "VAST-2.0-nonlinearads-unknown-child", Severity::Error, 1, Family::Schema,
    "<NonLinearAds> contains an unrecognised child element",
    "IAB VAST 2.0 §2.3.7"};
inline constexpr Rule vast_nonlinear_unknown_child{
    "VAST-2.0-nonlinear-unknown-child", Severity::Error, 1, Family::Schema,
    "<NonLinear> contains an unrecognised child element",
    "IAB VAST 2.0 §2.3.7"};
inline constexpr Rule vast_companionads_unknown_child{
    "VAST-2.0-companionads-unknown-child", Severity::Error, 1, Family::Schema,
    "<CompanionAds> may only contain <Companion> elements",
    "IAB VAST 2.0 §2.3.8"};
inline constexpr Rule vast_companion_unknown_child{
    "VAST-2.0-companion-unknown-child", Severity::Error, 1, Family::Schema,
    "<Companion> contains an unrecognised child element",
    "IAB VAST 2.0 §2.3.8"};
inline constexpr Rule vast_icons_unknown_child{
    "VAST-3.0-icons-unknown-child", Severity::Error, 1, Family::Schema,
    "<Icons> may only contain <Icon> elements",
    "IAB VAST 3.0 §2.3.6.4"};
inline constexpr Rule vast_icon_unknown_child{
    "VAST-3.0-icon-unknown-child", Severity::Error, 1, Family::Schema,
    "<Icon> contains an unrecognised child element",
    "IAB VAST 3.0 §2.3.6.4"};
inline constexpr Rule vast_iconclicks_unknown_child{
    "VAST-3.0-iconclicks-unknown-child", Severity::Error, 1, Family::Schema,
    "<IconClicks> contains an unrecognised child element",
    "IAB VAST 3.0 §2.3.6.4"};
inline constexpr Rule vast_creativeextensions_unknown_child{
    "VAST-2.0-creativeextensions-unknown-child", Severity::Error, 1, Family::Schema,
    "<CreativeExtensions> may only contain <CreativeExtension> elements",
    "IAB VAST 2.0 §2.3.5"};
inline constexpr Rule vast_closedcaptionfiles_unknown_child{
    "VAST-4.2-closedcaptionfiles-unknown-child", Severity::Error, 1, Family::Schema,
    "<ClosedCaptionFiles> may only contain <ClosedCaptionFile> elements",
    "IAB VAST 4.2 §2.3.5.2"};
inline constexpr Rule vast_mediafile_delivery_enum{
    "VAST-2.0-mediafile-delivery-enum", Severity::Error, 1, Family::Values,
    "<MediaFile> delivery attribute must be \"progressive\" or \"streaming\"",
    "IAB VAST 2.0 §2.3.5.2"};
inline constexpr Rule vast_tracking_event_value{
    "VAST-4.1-tracking-event-value", Severity::Error, 1, Family::Values,
    "Tracking event attribute value is not in the VAST spec enum for this version",
    "IAB VAST 4.2 §2.3.6",
    "<Tracking> under <Verification> only supports event=\"verificationNotExecuted\""};
inline constexpr Rule vast_extension_cdata{
    "VAST-2.0-extension-cdata", Severity::Warning, 2, Family::Schema,
    "<Extension> leaf text payload with XML-sensitive characters should be wrapped in CDATA so JSON blobs and URL-rich vendor data do not rely on fragile XML escaping",
    "W3C XML 1.0 §2.7"};
inline constexpr Rule vast_creative_extension_cdata{
    "VAST-2.0-creative-extension-cdata", Severity::Warning, 2, Family::Schema,
    "<CreativeExtension> leaf text payload with XML-sensitive characters should be wrapped in CDATA so JSON blobs and URL-rich vendor data do not rely on fragile XML escaping",
    "W3C XML 1.0 §2.7"};
inline constexpr Rule vast_parse_error{
    "VAST-2.0-parse-error", Severity::Error, 2, Family::Consistency,
    "XML parse error — document may be malformed",
    "IAB VAST 2.0 §2"};
inline constexpr Rule vast_url_invalid{
    "VAST-2.0-url-invalid", Severity::Warning, 3, Family::Security,
    "URL field does not appear to be a valid URI",
    "IAB VAST 2.0 §2"};
inline constexpr Rule vast_category_authority_not_uri{
    "VAST-4.0-category-authority-not-uri", Severity::Warning, 3, Family::Values,
    "authority attribute is not a valid authority URL (expected a domain such as \"iabtechlab.com\")",
    "IAB VAST 4.0 §2.3.3",
    "<Category> authority attribute is not a valid authority URL"};
inline constexpr Rule vast_blockedadcategories_authority_not_uri{
    "VAST-4.1-blockedadcategories-authority-not-uri", Severity::Warning, 3, Family::Values,
    "authority attribute is not a valid authority URL (expected a domain such as \"iabtechlab.com\")",
    "IAB VAST 4.1 §2.3.2",
    "<BlockedAdCategories> authority attribute is not a valid authority URL"};
inline constexpr Rule vast_macro_uri_unencoded{
    "VAST-2.0-macro-uri-unencoded", Severity::Warning, 3, Family::Macros,
    "Macro-bearing URL contains characters that must be percent-encoded per RFC 3986 — substitution may produce a malformed URL",
    "RFC 3986 §2.1"};
inline constexpr Rule vast_interactive_creative_type{
    "VAST-4.1-interactive-creative-type", Severity::Warning, 4, Family::Required,
    "<InteractiveCreativeFile> should have a type attribute identifying the MIME type",
    "IAB VAST 4.1 §3.9.3"};
inline constexpr Rule vast_pricing_currency_format{
    "VAST-3.0-pricing-currency-format", Severity::Warning, 5, Family::Values,
    "<Pricing> currency attribute must be a 3-letter ISO-4217 code (e.g. \"USD\")",
    "IAB VAST 3.0 §2.3.10"};
inline constexpr Rule vast_category_authority_unknown{
    "VAST-4.0-category-authority-unknown", Severity::Info, 7, Family::Values,
    "authority is not a recognised IAB Content Taxonomy authority; players cannot map these category codes to a shared taxonomy",
    "IAB Tech Lab Content Taxonomy"};
inline constexpr Rule vast_blockedadcategories_authority_unknown{
    "VAST-4.1-blockedadcategories-authority-unknown", Severity::Info, 7, Family::Values,
    "authority is not a recognised IAB Content Taxonomy authority; players cannot map these category codes to a shared taxonomy",
    "IAB Tech Lab Content Taxonomy"};
inline constexpr Rule vast_version_mismatch{
    "VAST-2.0-version-mismatch", Severity::Warning, 7, Family::Consistency,
    "VAST version attribute does not match structural signals in the document",
    "IAB VAST 2.0 §2.1",
    "Declared version does not match structural signals"};
inline constexpr Rule vast_flash_mediafile{
    "VAST-2.0-flash-mediafile", Severity::Warning, 7, Family::Deprecated,
    "Flash-based MediaFile type is no longer supported in modern browsers",
    "IAB VAST 2.0 §2.3.5.2"};
inline constexpr Rule vast_ad_serving_id_empty{
    "VAST-4.1-ad-serving-id-empty", Severity::Warning, 7, Family::Ctv,
    "<AdServingId> is present but empty — SSAI servers rely on this value for creative deduplication",
    "IAB VAST 4.1 §3.4.1"};
inline constexpr Rule daast_wrapper_vast_adtaguri{
    "DAAST-1.0-wrapper-vast-adtaguri", Severity::Warning, 7, Family::Daast,
    "<VASTAdTagURI> is a VAST element — DAAST wrappers redirect via <DAASTAdTagURI>",
    "IAB DAAST 1.0 §3.3.1.1"};
inline constexpr Rule daast_videoclicks_element{
    "DAAST-1.0-videoclicks-element", Severity::Warning, 7, Family::Daast,
    "<VideoClicks> is a VAST element — DAAST uses <AdInteractions> for click elements",
    "IAB DAAST 1.0 §3.2.1.6"};
inline constexpr Rule daast_mediafile_audio_type{
    "DAAST-1.0-mediafile-audio-type", Severity::Warning, 7, Family::Daast,
    "DAAST <MediaFile> type is a video MIME type — DAAST creative is audio",
    "IAB DAAST 1.0 §3.2.1.4"};
inline constexpr Rule simid_simid_variable_duration_value{
    "SIMID-1.0-simid-variable-duration-value", Severity::Warning, 8, Family::Simid,
    "<InteractiveCreativeFile apiFramework=\"SIMID\"> variableDuration must be \"true\" when present per SIMID §5",
    "IAB SIMID 1.0 §5"};
inline constexpr Rule simid_iframe_simid_type_required{
    "SIMID-1.1-iframe-simid-type-required", Severity::Warning, 8, Family::Simid,
    "<IFrameResource> in SIMID <NonLinear> should have type=\"text/html\" per SIMID §3.5.1",
    "IAB SIMID 1.1 §3.5.1"};
inline constexpr Rule simid_simid_type_required{
    "SIMID-1.0-simid-type-required", Severity::Error, 8, Family::Simid,
    "<InteractiveCreativeFile apiFramework=\"SIMID\"> must have type=\"text/html\" per SIMID §5",
    "IAB SIMID 1.0 §5"};
inline constexpr Rule simid_simid_url_empty{
    "SIMID-1.0-simid-url-empty", Severity::Error, 8, Family::Simid,
    "<InteractiveCreativeFile apiFramework=\"SIMID\"> must contain a URL — text content is empty",
    "IAB SIMID 1.0 §3.1"};
inline constexpr Rule simid_simid_url_https{
    "SIMID-1.0-simid-url-https", Severity::Error, 8, Family::Simid,
    "<InteractiveCreativeFile apiFramework=\"SIMID\"> URL must use HTTPS — HTTP will be blocked in secure contexts",
    "IAB SIMID 1.0 §3.1"};
inline constexpr Rule simid_simid_mediafile_required{
    "SIMID-1.0-simid-mediafile-required", Severity::Error, 8, Family::Simid,
    "Linear ad with <InteractiveCreativeFile apiFramework=\"SIMID\"> must also include a video/audio <MediaFile> — SIMID requires a media asset",
    "IAB SIMID 1.0 §3.4"};
inline constexpr Rule simid_nonlinear_simid_no_iframe{
    "SIMID-1.1-nonlinear-simid-no-iframe", Severity::Error, 8, Family::Simid,
    "<NonLinear apiFramework=\"SIMID\"> must contain an <IFrameResource> with the SIMID creative URL",
    "IAB SIMID 1.1 §3.5.1"};
inline constexpr Rule simid_iframe_simid_url_empty{
    "SIMID-1.1-iframe-simid-url-empty", Severity::Error, 8, Family::Simid,
    "<IFrameResource> in SIMID <NonLinear> must contain a URL — text content is empty",
    "IAB SIMID 1.1 §3.5.1"};
inline constexpr Rule simid_iframe_simid_url_https{
    "SIMID-1.1-iframe-simid-url-https", Severity::Error, 8, Family::Simid,
    "<IFrameResource> in SIMID <NonLinear> URL must use HTTPS — HTTP will be blocked in secure contexts",
    "IAB SIMID 1.1 §3.5.1"};
inline constexpr Rule vmap_embedded_vast_version{
    "VMAP-1.0-embedded-vast-version", Severity::Info, 9, Family::Vmap,
    "Embedded VAST is not version 3.0 — VMAP-compliant players are only required to support VAST 3.0",
    "IAB VMAP 1.0.1 §3.2"};
inline constexpr Rule vmap_error_tracking_macro{
    "VMAP-1.0-error-tracking-macro", Severity::Info, 9, Family::Vmap,
    "VMAP error tracking URI does not include the [ERROR_CODE] macro — error diagnostics will be lost",
    "IAB VMAP 1.0.1 §2.5"};
inline constexpr Rule vmap_root_version_value{
    "VMAP-1.0-root-version-value", Severity::Warning, 9, Family::Vmap,
    "<VMAP> version attribute is not \"1.0\" — the only published VMAP version",
    "IAB VMAP 1.0.1 §2.3"};
inline constexpr Rule vmap_root_namespace{
    "VMAP-1.0-root-namespace", Severity::Warning, 9, Family::Vmap,
    "<VMAP> should declare the VMAP namespace URI http://www.iab.net/videosuite/vmap",
    "IAB VMAP 1.0.1 §2.2",
    "<VMAP> should declare the VMAP namespace URI"};
inline constexpr Rule vmap_adbreak_repeatafter_format{
    "VMAP-1.0-adbreak-repeatafter-format", Severity::Warning, 9, Family::Vmap,
    "<AdBreak> repeatAfter attribute does not match the required hh:mm:ss[.mmm] format",
    "IAB VMAP 1.0.1 §2.3.1"};
inline constexpr Rule vmap_adsource_bool_attr{
    "VMAP-1.0-adsource-bool-attr", Severity::Warning, 9, Family::Vmap,
    "<AdSource> allowMultipleAds and followRedirects attributes must be \"true\" or \"false\"",
    "IAB VMAP 1.0.1 §2.3.2"};
inline constexpr Rule vmap_repeatafter_conflict{
    "VMAP-1.0-repeatafter-conflict", Severity::Warning, 9, Family::Vmap,
    "repeatAfter has no effect when timeOffset is \"start\" or \"end\" — those positions occur once per playback",
    "IAB VMAP 1.0.1 §2.3.1"};
inline constexpr Rule vmap_root_version{
    "VMAP-1.0-root-version", Severity::Error, 9, Family::Vmap,
    "Root <VMAP> element is missing the required version attribute",
    "IAB VMAP 1.0.1 §2.3"};
inline constexpr Rule vmap_root_unknown_child{
    "VMAP-1.0-root-unknown-child", Severity::Error, 9, Family::Vmap,
    "<VMAP> may only contain <AdBreak> and <Extensions> elements",
    "IAB VMAP 1.0.1 §2.3.1"};
inline constexpr Rule vmap_adbreak_timeoffset{
    "VMAP-1.0-adbreak-timeoffset", Severity::Error, 9, Family::Vmap,
    "<AdBreak> is missing the required timeOffset attribute",
    "IAB VMAP 1.0.1 §2.3.1"};
inline constexpr Rule vmap_adbreak_timeoffset_format{
    "VMAP-1.0-adbreak-timeoffset-format", Severity::Error, 9, Family::Vmap,
    "<AdBreak> timeOffset must be hh:mm:ss[.mmm], n% (0-100), \"start\", \"end\", or #m (m >= 1)",
    "IAB VMAP 1.0.1 §2.3.1"};
inline constexpr Rule vmap_adbreak_breaktype{
    "VMAP-1.0-adbreak-breaktype", Severity::Error, 9, Family::Vmap,
    "<AdBreak> is missing the required breakType attribute",
    "IAB VMAP 1.0.1 §2.3.1"};
inline constexpr Rule vmap_adbreak_breaktype_value{
    "VMAP-1.0-adbreak-breaktype-value", Severity::Error, 9, Family::Vmap,
    "<AdBreak> breakType must be a comma-separated list of \"linear\", \"nonlinear\", or \"display\" with no spaces",
    "IAB VMAP 1.0.1 §2.3.1"};
inline constexpr Rule vmap_adbreak_unknown_child{
    "VMAP-1.0-adbreak-unknown-child", Severity::Error, 9, Family::Vmap,
    "<AdBreak> may only contain <AdSource>, <TrackingEvents>, and <Extensions> elements",
    "IAB VMAP 1.0.1 §2.3.1"};
inline constexpr Rule vmap_adbreak_multiple_adsource{
    "VMAP-1.0-adbreak-multiple-adsource", Severity::Error, 9, Family::Vmap,
    "<AdBreak> may contain at most one <AdSource> element",
    "IAB VMAP 1.0.1 §2.3.2"};
inline constexpr Rule vmap_adsource_content{
    "VMAP-1.0-adsource-content", Severity::Error, 9, Family::Vmap,
    "<AdSource> must contain exactly one of <VASTAdData>, <AdTagURI>, or <CustomAdData>",
    "IAB VMAP 1.0.1 §2.3.2"};
inline constexpr Rule vmap_adtaguri_empty{
    "VMAP-1.0-adtaguri-empty", Severity::Error, 9, Family::Vmap,
    "<AdTagURI> must contain a URI referencing an ad response",
    "IAB VMAP 1.0.1 §2.3.2"};
inline constexpr Rule vmap_adtaguri_cdata{
    "VMAP-1.0-adtaguri-cdata", Severity::Error, 9, Family::Vmap,
    "<AdTagURI> URI must be contained within a CDATA block",
    "IAB VMAP 1.0.1 §2.3.2"};
inline constexpr Rule vmap_customaddata_cdata{
    "VMAP-1.0-customaddata-cdata", Severity::Error, 9, Family::Vmap,
    "<CustomAdData> data must be contained within a CDATA block",
    "IAB VMAP 1.0.1 §2.3.2"};
inline constexpr Rule vmap_vastaddata_vast_root{
    "VMAP-1.0-vastaddata-vast-root", Severity::Error, 9, Family::Vmap,
    "<VASTAdData> must contain an embedded <VAST> element (as XML, not CDATA)",
    "IAB VMAP 1.0.1 §2.3.2"};
inline constexpr Rule vmap_trackingevents_unknown_child{
    "VMAP-1.0-trackingevents-unknown-child", Severity::Error, 9, Family::Vmap,
    "VMAP <TrackingEvents> may only contain <Tracking> elements",
    "IAB VMAP 1.0.1 §2.3.3"};
inline constexpr Rule vmap_tracking_event{
    "VMAP-1.0-tracking-event", Severity::Error, 9, Family::Vmap,
    "VMAP <Tracking> is missing the required event attribute",
    "IAB VMAP 1.0.1 §2.3.3"};
inline constexpr Rule vmap_tracking_event_value{
    "VMAP-1.0-tracking-event-value", Severity::Error, 9, Family::Vmap,
    "VMAP <Tracking> event must be \"breakStart\", \"breakEnd\", or \"error\"",
    "IAB VMAP 1.0.1 §2.3.3"};
inline constexpr Rule vmap_tracking_url_empty{
    "VMAP-1.0-tracking-url-empty", Severity::Error, 9, Family::Vmap,
    "VMAP <Tracking> element does not contain a tracking URI",
    "IAB VMAP 1.0.1 §2.3.3"};
inline constexpr Rule daast_error_tracking_macro{
    "DAAST-1.0-error-tracking-macro", Severity::Info, 10, Family::Daast,
    "DAAST <Error> URI does not include the [ERRORCODE] macro — error diagnostics will be incomplete",
    "IAB DAAST 1.0 §3.1.3"};
inline constexpr Rule daast_audiointeractions_renamed{
    "DAAST-1.0-audiointeractions-renamed", Severity::Warning, 10, Family::Daast,
    "<AudioInteractions> was renamed <AdInteractions> in the final DAAST release",
    "IAB DAAST 1.1 Document Updates"};
inline constexpr Rule daast_error_url_empty{
    "DAAST-1.0-error-url-empty", Severity::Warning, 10, Family::Daast,
    "DAAST <Error> element is present but contains no URI — error events will not fire",
    "IAB DAAST 1.0 §3.1.3"};
inline constexpr Rule daast_root_version{
    "DAAST-1.0-root-version", Severity::Error, 10, Family::Daast,
    "Root <DAAST> element is missing the required version attribute",
    "IAB DAAST 1.0 §3.1.1"};
inline constexpr Rule daast_root_has_ad_or_error{
    "DAAST-1.0-root-has-ad-or-error", Severity::Error, 10, Family::Daast,
    "<DAAST> must contain at least one <Ad> or <Error> element",
    "IAB DAAST 1.0 §3.1.2"};
inline constexpr Rule daast_ad_has_inline_or_wrapper{
    "DAAST-1.0-ad-has-inline-or-wrapper", Severity::Error, 10, Family::Daast,
    "Each DAAST <Ad> must contain exactly one <InLine> or <Wrapper>",
    "IAB DAAST 1.0 §3.1.2"};
inline constexpr Rule daast_inline_adtitle{
    "DAAST-1.0-inline-adtitle", Severity::Error, 10, Family::Daast,
    "DAAST <InLine> must contain <AdTitle>",
    "IAB DAAST 1.0 §3.1.4.1"};
inline constexpr Rule daast_inline_impression{
    "DAAST-1.0-inline-impression", Severity::Error, 10, Family::Daast,
    "DAAST <InLine> must contain at least one <Impression>",
    "IAB DAAST 1.0 §3.1.4.1"};
inline constexpr Rule daast_inline_category{
    "DAAST-1.0-inline-category", Severity::Error, 10, Family::Daast,
    "DAAST <InLine> must contain <Category> identifying the ad category code",
    "IAB DAAST 1.0 §3.1.4.1"};
inline constexpr Rule daast_inline_creatives{
    "DAAST-1.0-inline-creatives", Severity::Error, 10, Family::Daast,
    "DAAST <InLine> must contain <Creatives> with at least one <Creative>",
    "IAB DAAST 1.0 §3.1.6"};
inline constexpr Rule daast_wrapper_daastadtaguri{
    "DAAST-1.0-wrapper-daastadtaguri", Severity::Error, 10, Family::Daast,
    "DAAST <Wrapper> must contain <DAASTAdTagURI>",
    "IAB DAAST 1.0 §3.3.1.1"};
inline constexpr Rule daast_wrapper_impression{
    "DAAST-1.0-wrapper-impression", Severity::Error, 10, Family::Daast,
    "DAAST <Wrapper> must contain at least one <Impression>",
    "IAB DAAST 1.0 §3.3.1.1"};
inline constexpr Rule daast_linear_duration{
    "DAAST-1.0-linear-duration", Severity::Error, 10, Family::Daast,
    "DAAST <Linear> must contain <Duration>",
    "IAB DAAST 1.0 §3.2.1.2"};
inline constexpr Rule daast_duration_format{
    "DAAST-1.0-duration-format", Severity::Error, 10, Family::Daast,
    "DAAST <Duration> value does not match required format HH:MM:SS or HH:MM:SS.mmm",
    "IAB DAAST 1.0 §3.2.1.2"};
inline constexpr Rule daast_linear_mediafiles{
    "DAAST-1.0-linear-mediafiles", Severity::Error, 10, Family::Daast,
    "DAAST <Linear> must contain <MediaFiles> with at least one <MediaFile>",
    "IAB DAAST 1.0 §3.2.1.3"};
inline constexpr Rule daast_mediafile_delivery{
    "DAAST-1.0-mediafile-delivery", Severity::Error, 10, Family::Daast,
    "DAAST <MediaFile> must have a delivery attribute",
    "IAB DAAST 1.0 §3.2.1.4"};
inline constexpr Rule daast_mediafile_type{
    "DAAST-1.0-mediafile-type", Severity::Error, 10, Family::Daast,
    "DAAST <MediaFile> must have a type attribute with the audio MIME type",
    "IAB DAAST 1.0 §3.2.1.4"};
inline constexpr Rule daast_mediafile_url_empty{
    "DAAST-1.0-mediafile-url-empty", Severity::Error, 10, Family::Daast,
    "DAAST <MediaFile> does not contain a media URI",
    "IAB DAAST 1.0 §3.2.1.4"};
inline constexpr Rule daast_progress_offset{
    "DAAST-1.0-progress-offset", Severity::Error, 10, Family::Daast,
    "DAAST <Tracking event=\"progress\"> requires an offset attribute",
    "IAB DAAST 1.0 §3.2.4.3"};
inline constexpr Rule daast_pricing_model{
    "DAAST-1.0-pricing-model", Severity::Error, 10, Family::Daast,
    "DAAST <Pricing> is missing the required model attribute",
    "IAB DAAST 1.0 §3.1.4.2"};
inline constexpr Rule daast_pricing_currency{
    "DAAST-1.0-pricing-currency", Severity::Error, 10, Family::Daast,
    "DAAST <Pricing> is missing the required currency attribute",
    "IAB DAAST 1.0 §3.1.4.2"};
inline constexpr Rule daast_root_version_value{
    "DAAST-1.0-root-version-value", Severity::Warning, 11, Family::Daast,
    "<DAAST> version attribute is not a recognised version (\"1.0\" or \"1.1\")",
    "IAB DAAST 1.0 §3.1.1"};
inline constexpr Rule daast_mediafile_id{
    "DAAST-1.0-mediafile-id", Severity::Warning, 11, Family::Daast,
    "DAAST <MediaFile> should have an id attribute (required by the DAAST XSD)",
    "IAB DAAST 1.0 §3.2.1.4"};
inline constexpr Rule daast_pricing_model_value{
    "DAAST-1.0-pricing-model-value", Severity::Warning, 11, Family::Daast,
    "DAAST <Pricing> model must be one of cpm, cpc, cpe, cpv, cpo",
    "IAB DAAST 1.0 §3.1.4.2"};
inline constexpr Rule daast_mediafile_delivery_enum{
    "DAAST-1.0-mediafile-delivery-enum", Severity::Error, 11, Family::Daast,
    "DAAST <MediaFile> delivery must be \"progressive\" or \"streaming\"",
    "IAB DAAST 1.0 §3.2.1.4"};
inline constexpr Rule daast_tracking_event_value{
    "DAAST-1.0-tracking-event-value", Severity::Error, 11, Family::Daast,
    "DAAST <Tracking> event is not in the DAAST audio event set",
    "IAB DAAST 1.0 §3.2.1.7"};
inline constexpr Rule vast_mezzanine_recommended{
    "VAST-4.1-mezzanine-recommended", Severity::Info, 12, Family::Ctv,
    "<MediaFiles> has no <Mezzanine> — ad-stitching servers may reject this tag in CTV/SSAI contexts",
    "IAB VAST 4.1 §3.9.2"};
inline constexpr Rule vast_mediafile_https{
    "VAST-2.0-mediafile-https", Severity::Warning, 12, Family::Security,
    "<MediaFile> URL uses HTTP instead of HTTPS — may be blocked in secure contexts",
    "IAB VAST 2.0 §2.3.5.2",
    "<MediaFile> URL uses HTTP instead of HTTPS — blocked by mixed-content policy on secure inventory"};
inline constexpr Rule vast_tracking_https{
    "VAST-2.0-tracking-https", Severity::Warning, 12, Family::Security,
    "Tracking URL uses HTTP instead of HTTPS — may be blocked in secure contexts",
    "IAB VAST 2.0 §2"};
inline constexpr Rule vast_duplicate_impression{
    "VAST-2.0-duplicate-impression", Severity::Warning, 12, Family::Consistency,
    "Duplicate <Impression> URL found — the same pixel appears more than once",
    "IAB VAST 2.0 §2.3.3"};
inline constexpr Rule vast_linear_tracking_quartiles{
    "VAST-2.0-linear-tracking-quartiles", Severity::Warning, 12, Family::Ambiguous,
    "<Linear> has no standard quartile tracking events (start/firstQuartile/midpoint/thirdQuartile/complete) — ad will serve but measurement system receives no signal",
    "IAB VAST 4.1 §3.14.2"};
inline constexpr Rule vast_js_resource_https{
    "VAST-4.1-js-resource-https", Severity::Warning, 12, Family::Required,
    "OMID <JavaScriptResource> URL should use HTTPS",
    "IAB VAST 4.1 §3.17.1"};
inline constexpr Rule vast_exec_resource_https{
    "VAST-4.1-exec-resource-https", Severity::Warning, 12, Family::Required,
    "OMID <ExecutableResource> reference should use HTTPS when it is a URL",
    "IAB VAST 4.1 §3.17.2"};
inline constexpr Rule vast_vpaid_in_interactive_context{
    "VAST-4.1-vpaid-in-interactive-context", Severity::Warning, 12, Family::Ctv,
    "<MediaFile apiFramework=\"VPAID\"> alongside <InteractiveCreativeFile> — VPAID is not supported in CTV and should be removed when SIMID/OMID is present",
    "IAB VAST 4.1 §2.4.3"};

// Second wordings of a rule.
inline constexpr RuleVariant vast_ad_has_both_inline_and_wrapper{
    &vast_ad_has_inline_or_wrapper, "<Ad> must not contain both <InLine> and <Wrapper>", "IAB VAST 2.0 §2.2"};
inline constexpr RuleVariant vast_inline_creatives_empty{
    &vast_inline_creatives, "<Creatives> must contain at least one <Creative>", "IAB VAST 2.0 §2.3.5"};
inline constexpr RuleVariant vast_linear_mediafiles_empty{
    &vast_linear_mediafiles, "<MediaFiles> must contain at least one <MediaFile>", "IAB VAST 2.0 §2.3.5.2"};
inline constexpr RuleVariant vast_mediafile_height{
    &vast_mediafile_dimensions, "<MediaFile> is missing required height attribute", "IAB VAST 2.0 §2.3.5.2"};
inline constexpr RuleVariant vast_verification_tracking_event_value{
    &vast_tracking_event_value, "<Tracking> under <Verification> only supports event=\"verificationNotExecuted\"", "IAB VAST 4.3 §3.17.4"};
inline constexpr RuleVariant vast_click_tracking_https{
    &vast_tracking_https, "Tracking/click URL uses HTTP instead of HTTPS — may be blocked in secure contexts", "IAB VAST 2.0 §2"};

inline constexpr std::array<const Rule*, 191> kAll{
    &vast_mediafile_apiframework,
    &vast_macro_deprecated,
    &vast_macro_wrong_context,
    &vast_wrapper_root_error,
    &vast_ad_sequence,
    &vast_extension_misplaced_element,
    &vast_creative_extension_misplaced_element,
    &vast_url_cdata,
    &vast_conditionalad,
    &vast_survey_deprecated,
    &vast_vpaid_apiframework,
    &vast_icon_attrs,
    &vast_nonlinear_dimensions,
    &vast_companion_dimensions,
    &vast_wrapper_clickthrough,
    &vast_icon_fallback_image_width_height,
    &vast_universaladid_idvalue_removed,
    &vast_verification_no_resource,
    &vast_verification_vendor_format,
    &vast_verification_duplicate_vendor,
    &vast_verification_parameters,
    &vast_verification_tracking_reason,
    &vast_blockedadcategories_no_authority,
    &vast_interactive_creative_no_api,
    &vast_js_resource_apiframework_value,
    &vast_js_resource_browser_optional,
    &vast_exec_resource_apiframework_value,
    &vast_skipoffset_format,
    &vast_progress_offset_format,
    &vast_skip_event_no_skipoffset,
    &vast_bitrate_conflict,
    &vast_tracking_event_removed,
    &vast_macro_unknown,
    &vast_macro_lowercase,
    &vast_root_element,
    &vast_root_version,
    &vast_root_has_ad_or_error,
    &vast_ad_has_inline_or_wrapper,
    &vast_inline_adsystem,
    &vast_inline_adtitle,
    &vast_inline_impression,
    &vast_inline_creatives,
    &vast_adservingid_present,
    &vast_universaladid_present,
    &vast_universaladid_idregistry,
    &vast_linear_duration,
    &vast_linear_mediafiles,
    &vast_mediafile_delivery,
    &vast_mediafile_type,
    &vast_mediafile_dimensions,
    &vast_wrapper_adsystem,
    &vast_wrapper_impression,
    &vast_wrapper_vastadtaguri,
    &vast_companion_resource,
    &vast_nonlinear_resource,
    &vast_wrapper_depth,
    &vast_url_empty,
    &vast_progress_offset,
    &vast_pricing_model,
    &vast_pricing_currency,
    &vast_icon_program,
    &vast_icon_width,
    &vast_icon_height,
    &vast_icon_xposition,
    &vast_icon_yposition,
    &vast_icon_resource,
    &vast_category_authority,
    &vast_companion_clicktracking_id,
    &vast_universaladid_idvalue,
    &vast_universaladid_content,
    &vast_mezzanine_delivery,
    &vast_mezzanine_type,
    &vast_mezzanine_width,
    &vast_mezzanine_height,
    &vast_verification_vendor,
    &vast_js_resource_apiframework,
    &vast_exec_resource_apiframework,
    &vast_exec_resource_type,
    &vast_duration_format,
    &vast_minmaxbitrate_pair,
    &vast_root_version_value,
    &vast_unknown_attribute,
    &vast_pricing_model_case,
    &vast_adtype_value,
    &vast_companion_renderingmode_value,
    &vast_companion_required_attr,
    &vast_text_only_element,
    &vast_inline_unknown_child,
    &vast_wrapper_unknown_child,
    &vast_creatives_unknown_child,
    &vast_creative_unknown_child,
    &vast_linear_unknown_child,
    &vast_trackingevents_unknown_child,
    &vast_mediafiles_unknown_child,
    &vast_extensions_unknown_child,
    &vast_videoclicks_unknown_child,
    &vast_nonlinearads_unknown_child,
    &vast_nonlinear_unknown_child,
    &vast_companionads_unknown_child,
    &vast_companion_unknown_child,
    &vast_icons_unknown_child,
    &vast_icon_unknown_child,
    &vast_iconclicks_unknown_child,
    &vast_creativeextensions_unknown_child,
    &vast_closedcaptionfiles_unknown_child,
    &vast_mediafile_delivery_enum,
    &vast_tracking_event_value,
    &vast_extension_cdata,
    &vast_creative_extension_cdata,
    &vast_parse_error,
    &vast_url_invalid,
    &vast_category_authority_not_uri,
    &vast_blockedadcategories_authority_not_uri,
    &vast_macro_uri_unencoded,
    &vast_interactive_creative_type,
    &vast_pricing_currency_format,
    &vast_category_authority_unknown,
    &vast_blockedadcategories_authority_unknown,
    &vast_version_mismatch,
    &vast_flash_mediafile,
    &vast_ad_serving_id_empty,
    &daast_wrapper_vast_adtaguri,
    &daast_videoclicks_element,
    &daast_mediafile_audio_type,
    &simid_simid_variable_duration_value,
    &simid_iframe_simid_type_required,
    &simid_simid_type_required,
    &simid_simid_url_empty,
    &simid_simid_url_https,
    &simid_simid_mediafile_required,
    &simid_nonlinear_simid_no_iframe,
    &simid_iframe_simid_url_empty,
    &simid_iframe_simid_url_https,
    &vmap_embedded_vast_version,
    &vmap_error_tracking_macro,
    &vmap_root_version_value,
    &vmap_root_namespace,
    &vmap_adbreak_repeatafter_format,
    &vmap_adsource_bool_attr,
    &vmap_repeatafter_conflict,
    &vmap_root_version,
    &vmap_root_unknown_child,
    &vmap_adbreak_timeoffset,
    &vmap_adbreak_timeoffset_format,
    &vmap_adbreak_breaktype,
    &vmap_adbreak_breaktype_value,
    &vmap_adbreak_unknown_child,
    &vmap_adbreak_multiple_adsource,
    &vmap_adsource_content,
    &vmap_adtaguri_empty,
    &vmap_adtaguri_cdata,
    &vmap_customaddata_cdata,
    &vmap_vastaddata_vast_root,
    &vmap_trackingevents_unknown_child,
    &vmap_tracking_event,
    &vmap_tracking_event_value,
    &vmap_tracking_url_empty,
    &daast_error_tracking_macro,
    &daast_audiointeractions_renamed,
    &daast_error_url_empty,
    &daast_root_version,
    &daast_root_has_ad_or_error,
    &daast_ad_has_inline_or_wrapper,
    &daast_inline_adtitle,
    &daast_inline_impression,
    &daast_inline_category,
    &daast_inline_creatives,
    &daast_wrapper_daastadtaguri,
    &daast_wrapper_impression,
    &daast_linear_duration,
    &daast_duration_format,
    &daast_linear_mediafiles,
    &daast_mediafile_delivery,
    &daast_mediafile_type,
    &daast_mediafile_url_empty,
    &daast_progress_offset,
    &daast_pricing_model,
    &daast_pricing_currency,
    &daast_root_version_value,
    &daast_mediafile_id,
    &daast_pricing_model_value,
    &daast_mediafile_delivery_enum,
    &daast_tracking_event_value,
    &vast_mezzanine_recommended,
    &vast_mediafile_https,
    &vast_tracking_https,
    &vast_duplicate_impression,
    &vast_linear_tracking_quartiles,
    &vast_js_resource_https,
    &vast_exec_resource_https,
    &vast_vpaid_in_interactive_context,
};

}  // namespace adsieve::rule

namespace adsieve {

// The catalogue, in order.
inline constexpr std::span<const Rule* const> CATALOG{rule::kAll};

// The rule with exactly this id, or nullptr.
const Rule* find_rule(std::string_view id) noexcept;

}  // namespace adsieve
