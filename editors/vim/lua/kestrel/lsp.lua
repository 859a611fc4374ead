-- Neovim (0.7 or later) starts kestrel-lsp for Kestrel files: require('kestrel.lsp').setup(opts)
-- in init.lua, with editors/vim on the runtime path. One server runs for each root folder, shared
-- by every Kestrel buffer opened under it.
--
--   cmd       the server's command line, { 'kestrel-lsp' } unless given
--   settings  the server's settings without the "kestrel." prefix: mainFiles, includeDirs, rem,
--             remUnnumbered (paths relative to the root)
--   root      function(buffer) giving a buffer's root folder, the current folder unless given
--
-- :KestrelUnnumber [compact] turns the numbered program of the current buffer, as saved, into a
-- source with labels, as kestrelc --unnumber does, and shows it in a new window; a line it cannot
-- convert is named instead. It asks the server of the buffer's root, which a Kestrel file there
-- has started.
local M = {}

-- The lines of a text that CR LF ends.
local function lines_of(text)
  local lines = vim.split(text, '\r\n', { plain = true })
  if lines[#lines] == '' then table.remove(lines) end
  return lines
end

function M.setup(opts)
  opts = opts or {}
  local cmd = opts.cmd or { 'kestrel-lsp' }
  local settings = { kestrel = opts.settings or {} }
  local root_of = opts.root or function() return vim.fn.getcwd() end
  local clients = {}
  vim.api.nvim_create_autocmd('FileType', {
    group = vim.api.nvim_create_augroup('kestrel_lsp', {}),
    pattern = 'kestrel',
    callback = function(args)
      local root = root_of(args.buf)
      if not clients[root] then
        clients[root] = vim.lsp.start_client({
          name = 'kestrel-lsp',
          cmd = cmd,
          root_dir = root,
          settings = settings,
          -- The server reads its settings from this notification, which Neovim 0.7 never sends
          -- by itself.
          on_init = function(client)
            client.notify('workspace/didChangeConfiguration', { settings = client.config.settings })
          end,
        })
      end
      -- A server that could not start leaves no client: Neovim has already said why.
      if clients[root] then
        vim.lsp.buf_attach_client(args.buf, clients[root])
      end
    end,
  })
  vim.api.nvim_create_user_command('KestrelUnnumber', function(command)
    local buffer = vim.api.nvim_get_current_buf()
    local id = clients[root_of(buffer)]
    local client = id and vim.lsp.get_client_by_id(id)
    if not client then
      vim.notify('KestrelUnnumber: no kestrel-lsp runs here: open a Kestrel file first',
                 vim.log.levels.ERROR)
      return
    end
    local answer = client.request_sync('workspace/executeCommand', {
      command = 'kestrel.unnumber',
      arguments = { vim.uri_from_bufnr(buffer), { compact = command.args == 'compact' } },
    }, 10000, buffer)
    local result = answer and answer.result
    if not result then
      vim.notify('KestrelUnnumber: kestrel-lsp did not convert the file', vim.log.levels.ERROR)
      return
    end
    if not result.converted then
      for _, finding in ipairs(result.findings) do
        if finding.severity == 1 then
          vim.notify(string.format('KestrelUnnumber: line %d: %s',
                                   finding.location.range.start.line + 1, finding.message),
                     vim.log.levels.ERROR)
          return
        end
      end
    end
    vim.cmd('new')
    vim.api.nvim_buf_set_lines(0, 0, -1, false, lines_of(result.source))
    vim.bo.fileformat = 'dos'
    vim.bo.syntax = 'kestrel'
  end, { nargs = '?', complete = function() return { 'compact' } end })
end

return M
