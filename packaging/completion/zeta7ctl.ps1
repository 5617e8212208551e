# PowerShell argument completion for zeta7ctl and zeta7-ports. The programs
# answer it themselves from their table of options (zeta7ctl --complete --
# WORD...): subcommands, options, the COM names of present ports, profile
# and plan files. Load it from your profile:
#   . "C:\Program Files\Quillbeck\ZETA-7\zeta7ctl.ps1"

$zeta7Completer = {
    param($wordToComplete, $commandAst, $cursorPosition)

    $program = $commandAst.CommandElements[0].Extent.Text.Trim('"', "'", '&', ' ')
    # The words after the program's name up to the cursor; the last is the
    # one being completed, empty after a blank.
    $words = @()
    foreach ($element in ($commandAst.CommandElements | Select-Object -Skip 1)) {
        if ($element.Extent.StartOffset -ge $cursorPosition) { break }
        $text = $element.Extent.Text
        if ($element -is [System.Management.Automation.Language.StringConstantExpressionAst]) {
            $text = $element.Value
        }
        $words += $text
    }
    if ($wordToComplete -eq '') {
        $words += ''
    } elseif ($words.Count -gt 0) {
        $words[-1] = $wordToComplete
    }
    # Windows PowerShell drops an empty argument to a program; "" keeps it.
    $modern = (Get-Variable PSNativeCommandArgumentPassing -ErrorAction SilentlyContinue) -and
        $PSNativeCommandArgumentPassing -ne 'Legacy'
    $arguments = foreach ($w in $words) { if ($w -eq '' -and -not $modern) { '""' } else { $w } }

    # The tools write UTF-8 to a pipe: file names in any script survive.
    $encoding = [Console]::OutputEncoding
    try {
        [Console]::OutputEncoding = [System.Text.Encoding]::UTF8
        $candidates = & $program --complete -- @arguments 2>$null
    } finally {
        [Console]::OutputEncoding = $encoding
    }
    foreach ($candidate in $candidates) {
        if ([string]::IsNullOrEmpty($candidate)) { continue }
        $text = if ($candidate -match '[\s''"`$&(){};,]') { "'" + ($candidate -replace "'", "''") + "'" } else { $candidate }
        $kind = if ($candidate.StartsWith('-')) { 'ParameterName' } else { 'ParameterValue' }
        [System.Management.Automation.CompletionResult]::new($text, $candidate, $kind, $candidate)
    }
}

Register-ArgumentCompleter -Native -CommandName zeta7ctl, zeta7ctl.exe, zeta7-ports, zeta7-ports.exe `
    -ScriptBlock $zeta7Completer
